// Records the programs the program asks the shell to start, and keeps a
// notification area as the shell does: icons by window and id, and the
// balloons shown. The Startup folders and shortcuts are what the test says.
#pragma once
#include <map>
#include <mutex>
#include <vector>

#include "platform/shell.h"

namespace platform::portable {

class PortableShell : public Shell {
 public:
  bool Start(const std::string& program, const std::string& arguments, const std::string& folder) override;
  bool NotifyIcon(NotifyIconOp op, const NotifyIconData& data) override;
  // nullopt until SetStartupFolder names it.
  std::optional<std::string> StartupFolderPath(StartupFolder which) override;
  // The shortcut added for path, in any case; nullopt for every other path.
  std::optional<Shortcut> ReadShortcut(const std::string& path) override;

  void SetStartupFolder(StartupFolder which, std::optional<std::string> path);
  // A shortcut with an empty target is one to something that is not a file.
  void AddShortcut(const std::string& path, Shortcut shortcut);

  struct Started {
    std::string program, arguments, folder;
    bool operator==(const Started&) const = default;
  };
  std::vector<Started> StartedPrograms() const;
  // Start reports failure (no such program) without recording it.
  void SetFails(bool fails);

  struct NotifyCall {
    NotifyIconOp op;
    NotifyIconData data;
  };
  struct Balloon {
    std::string title, text;
    uint32_t info_flags = 0, timeout_ms = 0;
  };
  std::vector<NotifyCall> NotifyCalls() const;
  // The icons in the notification area now, as last added or modified.
  std::vector<NotifyIconData> Icons() const;
  std::vector<Balloon> Balloons() const;
  void ClearNotifyCalls();
  // The task bar was re-created: every icon is gone.
  void RestartShell();

 private:
  mutable std::mutex mu_;
  std::vector<Started> started_;
  bool fails_ = false;
  std::vector<NotifyCall> calls_;
  std::vector<NotifyIconData> icons_;
  std::vector<Balloon> balloons_;
  std::map<StartupFolder, std::string> startup_folders_;
  std::map<std::string, Shortcut> shortcuts_;  // by the path folded to lower case
};

}  // namespace platform::portable
