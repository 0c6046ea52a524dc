#include "process/process_list.h"

#include <optional>
#include <string>

namespace process {

std::string ListedPath(std::string_view raw) {
  return std::string(raw.substr(0, raw.find('\0')));
}

bool RefreshProcessList(platform::Processes& processes, tk::ListBox& target) {
  target.Clear();
  std::vector<uint32_t> ids = processes.EnumerateIds(kMaxProcessIds);
  if (ids.empty()) return false;  // a running system always has processes
  for (uint32_t id : ids) {
    if (id == 0) continue;
    std::optional<std::string> path = processes.ImagePath(id);
    if (!path) continue;
    std::string line = ListedPath(*path);
    // An empty path names nothing that an action could work on.
    if (!line.empty()) target.AddItem(line);
  }
  return true;
}

}  // namespace process
