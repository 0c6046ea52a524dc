// The event log's side of veltrane.exe: every event the program reports
// finds its text in the message table linked into the program, with its
// insertion strings in place, as Event Viewer and collectors render it.
#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/win32/wide.h"
#include "platform/win32/win32_event_log.h"
#include "registry/events.h"

namespace platform::win32 {
namespace {

// veltrane.exe, which the build puts beside this test program.
std::wstring ProgramBeside() {
  wchar_t path[MAX_PATH];
  const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring file(path, n);
  return file.substr(0, file.find_last_of(L'\\') + 1) + L"veltrane.exe";
}

// The message as the log renders it, without the line end the message
// compiler puts after each text; nullopt when the table lacks it.
std::optional<std::string> Render(HMODULE module, events::Event event, const std::vector<std::string>& strings) {
  std::vector<std::wstring> wide;
  for (const std::string& s : strings) wide.push_back(Wide(s));
  std::vector<DWORD_PTR> arguments;
  for (const std::wstring& w : wide) arguments.push_back(DWORD_PTR(w.c_str()));
  wchar_t* text = nullptr;
  const DWORD n = FormatMessageW(
      FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_ARGUMENT_ARRAY, module,
      MessageId(event.level, event.id), 0, reinterpret_cast<wchar_t*>(&text), 0,
      reinterpret_cast<va_list*>(arguments.empty() ? nullptr : arguments.data()));
  if (n == 0) return std::nullopt;
  std::string rendered = Utf8(text, n);
  LocalFree(text);
  if (rendered.ends_with("\r\n")) rendered.resize(rendered.size() - 2);
  return rendered;
}

TEST(EventLogWin32, EveryEventRendersFromTheProgramsMessageTable) {
  HMODULE program = LoadLibraryExW(ProgramBeside().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(program, nullptr) << "veltrane.exe beside the test program (make win32)";
  using namespace events;
  const std::vector<std::string> entry{"Local machine, autostart.", "Intruder", "\"C:\\Bad\\b\xC3\xA4" "d.exe\" -x"};
  const std::string shown = "Place: Local machine, autostart.. Name: Intruder. Command: \"C:\\Bad\\b\xC3\xA4" "d.exe\" -x";
  const struct {
    Event event;
    std::vector<std::string> strings;
    std::string text;
  } cases[] = {
      {kProtectionStarted, {}, "Veltrane protection started."},
      {kProtectionEnded, {}, "Veltrane protection ended."},
      {kAutostartFound,
       {entry[0], entry[1], entry[2], "Quorvik", "Signed by Quorvik Ltd"},
       "New autostart entry found. " + shown + ". Company: Quorvik. Signature: Signed by Quorvik Ltd"},
      {kAutostartAllowed, entry, "Autostart entry allowed. " + shown},
      {kAutostartDeleted, entry, "Autostart entry deleted. " + shown},
      {kAutostartDeletedAndForbidden, entry, "Autostart entry deleted and its program forbidden. " + shown},
      {kAutostartPutBack, entry, "Autostart entry put back. " + shown},
      {kAutostartTakenAsKnown,
       {"Scheduled tasks.", "\\Updater\\Daily", "C:\\up.exe"},
       "Autostart entry found at the first scan and taken as known. Place: Scheduled tasks.. Name: \\Updater\\Daily. "
       "Command: C:\\up.exe"},
      {kAllowedProgramChanged,
       {entry[0], entry[1], entry[2], "(none given)", "Not signed"},
       "The program of a known autostart entry changed. " + shown + ". Company: (none given). Signature: Not signed"},
      {kServiceDisabled,
       {"Local machine, services.", "Evil", "C:\\evil.exe"},
       "Autostart service disabled. Place: Local machine, services.. Name: Evil. Command: C:\\evil.exe"},
      {kForbiddenStopped, {"C:\\Apps\\agent.exe"}, "Forbidden program stopped: C:\\Apps\\agent.exe"},
      {kForbiddenAllowed, {"C:\\Apps\\agent.exe"}, "Forbidden program allowed to go on working: C:\\Apps\\agent.exe"},
      {kMovedToTrashcan, {"C:\\Apps\\agent.exe"}, "Program moved to the trashcan: C:\\Apps\\agent.exe"},
      {kPutBackFromTrashcan, {"C:\\Apps\\agent.exe"}, "Program put back from the trashcan: C:\\Apps\\agent.exe"},
      {kDeletedFromTrashcan, {"C:\\Apps\\agent.exe"}, "Program deleted from the trashcan for good: C:\\Apps\\agent.exe"},
      {kGuardedPlaceChanged, {"the registry or a Startup folder"},
       "A guarded autostart place changed: the registry or a Startup folder"},
      {kAccessRefused, {"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce", "read"},
       "Veltrane was refused access: HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce (read)"},
      {kRefusedToAct, {"C:\\Windows\\System32\\winlogon.exe"},
       "Veltrane refused to act: C:\\Windows\\System32\\winlogon.exe"},
      {kUpdateFound, {"1.1"}, "Update found: version 1.1."},
      {kUpdateDownloaded, {"C:\\Windows\\veltraneupdate.zip"}, "Update downloaded: C:\\Windows\\veltraneupdate.zip"},
  };
  ASSERT_EQ(std::size(cases), std::size(kAll)) << "an event without a case here";
  for (const auto& c : cases) EXPECT_EQ(Render(program, c.event, c.strings), c.text) << c.event.id;
  FreeLibrary(program);
}

}  // namespace
}  // namespace platform::win32
