#include "tests/doubles/portable/portable_tasks.h"

#include "platform/text.h"
#include "platform/utf.h"

namespace platform::portable {

namespace {

constexpr uint32_t kNotFound = 0x80070002;
constexpr uint32_t kServiceDoesNotExist = 1060;

std::string AsUtf8(std::string_view bytes) {
  if (bytes.size() >= 2 && uint8_t(bytes[0]) == 0xFF && uint8_t(bytes[1]) == 0xFE) {
    std::u16string wide;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) wide += char16_t(uint8_t(bytes[i]) | uint8_t(bytes[i + 1]) << 8);
    return Utf8(wide);
  }
  if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
  return std::string(bytes);
}

// The text of the first <tag>...</tag> in xml from `from`; npos-safe.
std::optional<std::string> Element(const std::string& xml, const std::string& tag, size_t from = 0,
                                   size_t to = std::string::npos) {
  const size_t open = xml.find("<" + tag + ">", from);
  if (open == std::string::npos || open >= to) return std::nullopt;
  const size_t start = open + tag.size() + 2;
  const size_t close = xml.find("</" + tag + ">", start);
  if (close == std::string::npos) return std::nullopt;
  std::string text = xml.substr(start, close - start);
  const size_t first = text.find_first_not_of(" \t\r\n"), last = text.find_last_not_of(" \t\r\n");
  return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
}

std::string FileOf(const std::string& folder, const std::string& path) { return folder + path; }

}  // namespace

TaskXml PortableTasks::Parse(std::string_view bytes) {
  const std::string xml = AsUtf8(bytes);
  TaskXml task;
  // Enough of well-formedness for the tests: a Task root that is closed, and
  // no DTD.
  if (xml.find("<!DOCTYPE") != std::string::npos) return task;
  const size_t root = xml.find("<Task");
  if (root == std::string::npos || xml.find("</Task>") == std::string::npos) return task;
  task.is_task = true;
  for (size_t at = xml.find("<Exec>"); at != std::string::npos; at = xml.find("<Exec>", at + 1)) {
    const size_t end = xml.find("</Exec>", at);
    task.exec.push_back({Element(xml, "Command", at, end).value_or(""), Element(xml, "Arguments", at, end).value_or("")});
  }
  task.needs_password = Element(xml, "LogonType") == "Password";
  return task;
}

uint32_t PortableTasks::Delete(const std::string& path) {
  if (refuse_) return refuse_;
  return files_.Delete(FileOf(folder_, path)) ? 0 : kNotFound;
}

uint32_t PortableTasks::Register(const std::string& path, std::string_view bytes) {
  last_registered_ = std::string(bytes);
  const std::string file = FileOf(folder_, path);
  if (files_.Exists(file)) return kTaskExists;
  // Its folders come back with it.
  for (size_t cut = file.find('\\', folder_.size() + 1); cut != std::string::npos; cut = file.find('\\', cut + 1))
    files_.MakeFolder(file.substr(0, cut));
  return files_.Replace(file, std::string(bytes)) ? 0 : kNotFound;
}

std::optional<ServiceState> PortableServices::Query(const std::string& name) {
  std::lock_guard lock(mu_);
  auto it = known_.find(name);
  if (it == known_.end()) return std::nullopt;
  return ServiceState{it->second};
}

uint32_t PortableServices::SetStartType(const std::string& name, StartType start) {
  {
    std::lock_guard lock(mu_);
    if (!known_.count(name)) return kServiceDoesNotExist;
  }
  auto key = registry_.Open(RootKey::LocalMachine, "SYSTEM\\CurrentControlSet\\Services\\" + name, Access::ReadWrite);
  return key && key->WriteDword("Start", uint32_t(start)) ? 0 : 5;
}

uint32_t PortableServices::Stop(const std::string& name) {
  std::lock_guard lock(mu_);
  auto it = known_.find(name);
  if (it == known_.end()) return kServiceDoesNotExist;
  if (!it->second) return 0;
  if (stop_error_) return stop_error_;
  it->second = false;
  return 0;
}

void PortableServices::Know(const std::string& name, bool running) {
  std::lock_guard lock(mu_);
  known_[name] = running;
}

bool PortableServices::Running(const std::string& name) {
  std::lock_guard lock(mu_);
  auto it = known_.find(name);
  return it != known_.end() && it->second;
}

}  // namespace platform::portable
