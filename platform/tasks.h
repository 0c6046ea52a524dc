// The Task Scheduler's tasks as Windows keeps them: one XML file per task
// below the native system folder's Tasks folder, and the scheduler that
// registers and deletes them.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// One Exec action of a task, its texts as the file holds them.
struct TaskExec {
  std::string command;
  std::string arguments;
};

// What a task file says, as far as the guard needs it.
struct TaskXml {
  // Well-formed XML with a Task root element. When false, nothing else is set.
  bool is_task = false;
  // The Exec actions, in the file's order; other actions are left out.
  std::vector<TaskExec> exec;
  // The principal logs on with a stored password (LogonType "Password"),
  // which registering the task again would need.
  bool needs_password = false;
};

// The scheduler's answer when a task of that path exists already.
inline constexpr uint32_t kTaskExists = 0x800700B7;

class Tasks {
 public:
  virtual ~Tasks() = default;
  // The native system folder's Tasks folder as this program reaches it,
  // without a trailing backslash: on 64-bit Windows, where a 32-bit program
  // would be sent to SysWOW64, through Sysnative.
  virtual std::string Folder() = 0;
  // Parses a task file's bytes (UTF-16 or UTF-8, with or without a byte
  // order mark) from memory. DTDs are refused.
  virtual TaskXml Parse(std::string_view bytes) = 0;
  // The scheduler's calls are slow: they belong on its worker thread. 0, or
  // the scheduler's error (an HRESULT).
  // Deletes the task at its path ("\Updater\Daily").
  virtual uint32_t Delete(const std::string& path) = 0;
  // Registers the task file's bytes at its path again, as a new task
  // (never over an existing one: kTaskExists), with the principal the XML
  // names and no password.
  virtual uint32_t Register(const std::string& path, std::string_view bytes) = 0;
};

}  // namespace platform
