// The Task Scheduler over the portable files: task files in a folder, a
// parser that reads as much of Task Scheduler XML as the tests write, and a
// scheduler that deletes and registers files unless told to refuse.
#pragma once
#include <string>

#include "platform/files.h"
#include "platform/services.h"
#include "platform/registry.h"
#include "platform/tasks.h"
#include <map>
#include <mutex>

namespace platform::portable {

class PortableTasks : public Tasks {
 public:
  explicit PortableTasks(Files& files) : files_(files) {}
  std::string Folder() override { return folder_; }
  TaskXml Parse(std::string_view bytes) override;
  uint32_t Delete(const std::string& path) override;
  uint32_t Register(const std::string& path, std::string_view bytes) override;

  void SetFolder(std::string folder) { folder_ = std::move(folder); }
  // Every deletion answers this error (an HRESULT), as for a task that
  // only its owner may change.
  void RefuseDeletes(uint32_t error) { refuse_ = error; }
  // What Register was handed last.
  const std::string& LastRegistered() const { return last_registered_; }

 private:
  Files& files_;
  std::string folder_ = "C:\\Windows\\System32\\Tasks";
  uint32_t refuse_ = 0;
  std::string last_registered_;
};

// The service manager over the portable registry: it knows the services
// named to it (as after a boot) and keeps their start type in their
// Services key, as the real one does.
class PortableServices : public Services {
 public:
  explicit PortableServices(Registry& registry) : registry_(registry) {}
  std::optional<ServiceState> Query(const std::string& name) override;
  uint32_t SetStartType(const std::string& name, StartType start) override;
  uint32_t Stop(const std::string& name) override;

  void Know(const std::string& name, bool running = false);
  bool Running(const std::string& name);
  // Stopping fails with this Win32 error.
  void FailStops(uint32_t error) { stop_error_ = error; }

 private:
  Registry& registry_;
  std::mutex mu_;
  std::map<std::string, bool> known_;  // name: running
  uint32_t stop_error_ = 0;
};

}  // namespace platform::portable
