// The shell: programs started for the person, icons in the notification
// area, the Startup folders and the shortcuts in them.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

namespace platform {

enum class NotifyIconOp { Add, Modify, Delete };

// NOTIFYICONDATA as the program fills it; text in UTF-8. The backend cuts
// texts to the record's fields, which the caller sizes in UTF-16 units.
struct NotifyIconData {
  uintptr_t window = 0;        // the call-back window
  uint32_t id = 0;
  uint32_t flags = 0;          // kNif* bits
  uint32_t callback_message = 0;
  std::string icon;            // resource name of the icon; "" for none
  std::string tip;
  std::string info;            // balloon text
  std::string info_title;
  uint32_t timeout_ms = 0;
  uint32_t info_flags = 0;     // NIIF_NONE, NIIF_INFO, NIIF_WARNING, NIIF_ERROR
  bool operator==(const NotifyIconData&) const = default;
};

inline constexpr uint32_t kNifMessage = 1, kNifIcon = 2, kNifTip = 4, kNifInfo = 16;

// The person's own Startup folder, and the one that starts its programs for
// everyone who signs in.
enum class StartupFolder { CurrentUser, AllUsers };

// What a shortcut starts. target is empty for a shortcut to something that
// is not a file (a shell folder, a web address).
struct Shortcut {
  std::string target;
  std::string arguments;
  bool operator==(const Shortcut&) const = default;
};

class Shell {
 public:
  virtual ~Shell() = default;
  // Starts the program at a full path, never searched for, with the
  // arguments (the command line's text after the program's name) in a
  // normal window, with folder (a full path) as its current folder; true
  // when it started. Nothing that the person's settings choose (file
  // associations) takes part: this program's rights go with it.
  virtual bool Start(const std::string& program, const std::string& arguments, const std::string& folder) = 0;
  // Shell_NotifyIcon; true when the shell accepted the record.
  virtual bool NotifyIcon(NotifyIconOp op, const NotifyIconData& data) = 0;
  // Where Windows keeps the folder, whether or not it exists now, without a
  // trailing backslash; nullopt when Windows names none.
  virtual std::optional<std::string> StartupFolderPath(StartupFolder which) = 0;
  // The target (environment variables expanded) and arguments stored in
  // the shortcut file at path, as stored: the target is never looked for
  // or repaired. nullopt when the file is no shortcut that can be read.
  virtual std::optional<Shortcut> ReadShortcut(const std::string& path) = 0;
};

}  // namespace platform
