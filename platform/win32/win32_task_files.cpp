// Task files: where Windows keeps them, and what one says.
#include <windows.h>
// After <windows.h>, which they need.
#include <objbase.h>
#include <xmllite.h>

#include <cstring>
#include <vector>

#include "platform/win32/system_folders.h"
#include "platform/win32/wide.h"
#include "platform/win32/win32_com.h"
#include "platform/win32/win32_handles.h"
#include "platform/win32/native_file_names.h"
#include "platform/win32/win32_tasks.h"

namespace platform::win32 {
namespace {

using CreateReader = HRESULT(WINAPI*)(REFIID, void**, IMalloc*);

// From the system folder by its full path, never by a search that the
// current folder or PATH could answer. Loaded once, kept while we run.
CreateReader XmlLite() {
  static const CreateReader create = [] {
    std::wstring path = FolderFrom(GetSystemDirectoryW);
    if (path.empty()) return CreateReader(nullptr);
    path += L"\\xmllite.dll";
    return Bind<CreateReader>(LoadLibraryW(path.c_str()), "CreateXmlReader");
  }();
  return create;
}

bool Utf16Unmarked(std::string_view bytes) { return bytes.size() >= 2 && bytes[0] != '\0' && bytes[1] == '\0'; }

// A memory stream holding a copy of the bytes. XmlLite tells UTF-16 from
// UTF-8 by the byte order mark and by "<?xml"; a UTF-16 file without
// either ("<Task") gets its mark here, as the reader would take it for UTF-8.
HRESULT StreamOf(std::string_view bytes, Com<IStream>& stream) {
  const bool utf16_unmarked = Utf16Unmarked(bytes);
  const size_t size = bytes.size() + (utf16_unmarked ? 2 : 0);
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, size ? size : 1);
  if (!memory) return E_OUTOFMEMORY;
  auto* at = static_cast<char*>(GlobalLock(memory));
  if (!at) {
    GlobalFree(memory);
    return E_OUTOFMEMORY;
  }
  if (utf16_unmarked) {
    std::memcpy(at, "\xFF\xFE", 2);
    at += 2;
  }
  if (!bytes.empty()) std::memcpy(at, bytes.data(), bytes.size());
  GlobalUnlock(memory);
  HRESULT hr = CreateStreamOnHGlobal(memory, TRUE, stream.out());
  if (FAILED(hr)) {
    GlobalFree(memory);
    return hr;
  }
  ULARGE_INTEGER length;
  length.QuadPart = size;
  return stream->SetSize(length);  // the block may be larger than asked
}

constexpr const wchar_t* kXmlSpace = L" \t\r\n";

// Wine's reader closes the elements left open at the end of the input
// itself, so a file cut short would read as a whole one: the root's end tag
// must be there, followed by nothing but comments, processing instructions
// and white space.
bool EndsWithEndTag(std::wstring_view text, std::wstring_view root) {
  for (;;) {
    text = text.substr(0, text.find_last_not_of(kXmlSpace) + 1);
    size_t start = std::wstring_view::npos;
    if (text.ends_with(L"-->"))
      start = text.rfind(L"<!--");
    else if (text.ends_with(L"?>"))
      start = text.rfind(L"<?");
    else
      break;
    if (start == std::wstring_view::npos) return false;
    text = text.substr(0, start);
  }
  const size_t start = text.rfind(L"</");
  if (!text.ends_with(L'>') || start == std::wstring_view::npos) return false;
  std::wstring_view tag = text.substr(start + 2, text.size() - start - 3);
  return tag.substr(0, tag.find_last_not_of(kXmlSpace) + 1) == root;
}

std::string Trimmed(const std::wstring& text) {
  size_t begin = text.find_first_not_of(kXmlSpace);
  if (begin == std::wstring::npos) return {};
  size_t end = text.find_last_not_of(kXmlSpace);
  return Utf8(std::wstring_view(text).substr(begin, end - begin + 1));
}

// Where the reader is, by the local names of the open elements from the root.
class Path {
 public:
  void Push(std::wstring name) { names_.push_back(std::move(name)); }
  void Pop() {
    if (!names_.empty()) names_.pop_back();
  }
  size_t Depth() const { return names_.size(); }
  // The open elements are exactly these, from the root.
  bool Is(std::initializer_list<const wchar_t*> names) const {
    if (names.size() != names_.size()) return false;
    size_t i = 0;
    for (const wchar_t* name : names)
      if (names_[i++] != name) return false;
    return true;
  }

 private:
  std::vector<std::wstring> names_;
};

}  // namespace

std::optional<std::wstring> TaskFileText(std::string_view bytes) {
  std::optional<std::wstring> text;
  const bool marked = bytes.starts_with("\xFF\xFE");
  if (marked || Utf16Unmarked(bytes)) {
    if (marked) bytes.remove_prefix(2);
    if (bytes.size() % 2) return std::nullopt;
    text.emplace(bytes.size() / 2, L'\0');
    if (!bytes.empty()) std::memcpy(text->data(), bytes.data(), bytes.size());
  } else {
    if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
    text = WideExact(bytes);
  }
  if (!text || text->find(L'\0') != std::wstring::npos) return std::nullopt;
  return text;
}

std::string Win32Tasks::Folder() {
  // The scheduler keeps its files in the native system folder; a 32-bit
  // program names that through Sysnative, as System32 would lead it to
  // SysWOW64, which has no Tasks folder.
  if (Wow64()) {
    const std::wstring windows = FolderFrom(GetSystemWindowsDirectoryW);
    if (windows.empty()) return std::string();
    // The file calls run with redirection off, where Windows knows no
    // Sysnative and System32 is the native folder; Wine shows Sysnative
    // either way. Whichever of the two the file calls see is the one.
    const std::wstring sysnative = windows + L"\\Sysnative\\Tasks";
    NativeFileNames native;
    const DWORD attributes = GetFileAttributesW(sysnative.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return Utf8(sysnative);
    return Utf8(windows + L"\\System32\\Tasks");
  }
  const std::wstring system = FolderFrom(GetSystemDirectoryW);
  return system.empty() ? std::string() : Utf8(system + L"\\Tasks");
}

TaskXml Win32Tasks::Parse(std::string_view bytes) {
  const CreateReader create = XmlLite();
  // Text the scheduler could not take is no task of its, whatever a reader
  // would make of it.
  const std::optional<std::wstring> text = TaskFileText(bytes);
  if (!create || !text || bytes.size() > MAXDWORD / 2) return {};
  Com<IXmlReader> reader;
  Com<IStream> stream;
  if (FAILED(create(__uuidof(IXmlReader), reinterpret_cast<void**>(reader.out()), nullptr)) ||
      FAILED(reader->SetProperty(XmlReaderProperty_DtdProcessing, DtdProcessing_Prohibit)) ||
      FAILED(StreamOf(bytes, stream)) || FAILED(reader->SetInput(stream.get())))
    return {};

  TaskXml task;
  Path path;
  bool rooted = false;
  std::wstring root;  // its name as written, prefix and all; empty for <Task/>
  // The text of the element being read (Command, Arguments, LogonType).
  std::wstring value_text;
  auto ended = [&] {
    if (path.Is({L"Task", L"Actions", L"Exec", L"Command"}) && !task.exec.empty())
      task.exec.back().command = Trimmed(value_text);
    else if (path.Is({L"Task", L"Actions", L"Exec", L"Arguments"}) && !task.exec.empty())
      task.exec.back().arguments = Trimmed(value_text);
    else if (path.Is({L"Task", L"Principals", L"Principal", L"LogonType"}))
      task.needs_password = Trimmed(value_text) == "Password";
    value_text.clear();
  };

  // Every node takes at least a character of the text, and every element
  // ends once: Wine's reader, fed a comment after elements left open, hands
  // out that comment for ever.
  size_t nodes_left = 2 * text->size() + 2;
  XmlNodeType type;
  HRESULT hr;
  while ((hr = reader->Read(&type)) == S_OK) {
    if (nodes_left-- == 0) return {};
    const wchar_t* value = nullptr;
    UINT length = 0;
    switch (type) {
      case XmlNodeType_Element: {
        if (FAILED(reader->GetLocalName(&value, &length)) || !value) return {};
        const std::wstring name(value, length);
        if (path.Depth() == 0) {
          // One root, and it is a task.
          if (rooted || name != L"Task") return {};
          rooted = true;
          if (!reader->IsEmptyElement()) {
            if (FAILED(reader->GetQualifiedName(&value, &length)) || !value) return {};
            root.assign(value, length);
          }
        }
        const bool empty = reader->IsEmptyElement();
        path.Push(name);
        value_text.clear();
        if (path.Is({L"Task", L"Actions", L"Exec"})) task.exec.push_back({});
        if (empty) {
          ended();
          path.Pop();
        }
        break;
      }
      case XmlNodeType_EndElement:
        ended();
        path.Pop();
        break;
      case XmlNodeType_Text:
      case XmlNodeType_CDATA:
      case XmlNodeType_Whitespace:
        if (FAILED(reader->GetValue(&value, &length))) return {};
        if (value) value_text.append(value, length);
        break;
      case XmlNodeType_DocumentType:
        // Refused by the reader already; never read past one regardless.
        return {};
      default:
        break;
    }
  }
  if (FAILED(hr) || !rooted || path.Depth() != 0 || (!root.empty() && !EndsWithEndTag(*text, root))) return {};
  task.is_task = true;
  return task;
}

}  // namespace platform::win32
