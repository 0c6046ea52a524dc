// Win32Files::OpenWriter: the file grows under "<path>.tmp-<pid>-<n>" and is
// moved over the target only when it is complete.
#include <string>

#include "platform/win32/native_file_names.h"
#include "platform/win32/win32_files.h"
#include "platform/win32/win32_handles.h"
#include "platform/win32/wide.h"

namespace platform::win32 {
namespace {

class Win32FileWriter : public FileWriter {
 public:
  Win32FileWriter(std::wstring temp, std::wstring target) : temp_(std::move(temp)), target_(std::move(target)) {
    NativeFileNames native;
    // Never an existing file: one planted under the name, or a link there,
    // would have this program write where its planter chose.
    file_ = Handle(CreateFileW(temp_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    created_ = bool(file_);
  }
  ~Win32FileWriter() override {
    // Only what this writer made goes: whatever had the name before stays.
    if (committed_ || !created_) return;
    NativeFileNames native;
    file_.reset();
    DeleteFileW(temp_.c_str());
  }
  bool Opened() const { return bool(file_); }

  bool Write(const char* data, size_t size) override {
    while (size > 0 && file_) {
      DWORD chunk = size > 0x10000000 ? 0x10000000 : DWORD(size), written = 0;
      if (!WriteFile(file_.get(), data, chunk, &written, nullptr) || written == 0) return false;
      data += written;
      size -= written;
    }
    return size == 0;
  }

  bool Commit() override {
    if (committed_ || !file_) return false;
    bool flushed = FlushFileBuffers(file_.get());
    file_.reset();
    NativeFileNames native;
    if (!flushed || !UsableTarget(target_)) return false;
    if (!MoveFileExW(temp_.c_str(), target_.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
      return false;
    committed_ = true;
    return true;
  }

  // A plain file or none. Windows refuses to move over a read-only file, but
  // Wine does not; the user's protection holds on both.
  static bool UsableTarget(const std::wstring& target) {
    DWORD attributes = GetFileAttributesW(target.c_str());
    return attributes == INVALID_FILE_ATTRIBUTES ||
           !(attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT));
  }

 private:
  std::wstring temp_, target_;
  Handle file_;
  bool created_ = false;
  bool committed_ = false;
};

}  // namespace

std::unique_ptr<FileWriter> Win32Files::OpenWriter(const std::string& path) {
  NativeFileNames native;
  auto wide = NameArg(path);
  if (path.empty() || !wide) return nullptr;
  std::wstring target = std::move(*wide);
  if (!Win32FileWriter::UsableTarget(target)) return nullptr;
  std::wstring temp = target + L".tmp-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                      std::to_wstring(++temp_counter_);
  auto writer = std::make_unique<Win32FileWriter>(std::move(temp), std::move(target));
  if (!writer->Opened()) return nullptr;
  return writer;
}

}  // namespace platform::win32
