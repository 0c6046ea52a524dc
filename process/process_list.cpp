#include "process/process_list.h"

#include <optional>

namespace process {

std::string ListedPath(std::string_view raw) {
  return std::string(raw.substr(0, raw.find('\0')));
}

std::vector<std::string> ProcessPaths(platform::Processes& processes) {
  std::vector<std::string> paths;
  for (uint32_t id : processes.EnumerateIds(kMaxProcessIds)) {
    if (id == 0) continue;
    std::optional<std::string> path = processes.ImagePath(id);
    if (!path) continue;
    std::string line = ListedPath(*path);
    // An empty path names nothing that an action could work on.
    if (!line.empty()) paths.push_back(std::move(line));
  }
  return paths;
}

}  // namespace process
