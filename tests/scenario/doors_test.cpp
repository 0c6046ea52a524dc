// Scheduled tasks and services: the first scan takes what it finds as known,
// and from then on every new or changed entry is asked about, deleted (a
// service disabled) with a record for undo, and put back.
#include <algorithm>
#include <string>
#include <vector>

#include "platform/sha256.h"
#include "platform/utf.h"
#include "registry/doors.h"
#include "registry/undo.h"
#include "tests/scenario/registry_fixture.h"

namespace scenario {
namespace {

using R = RegistryProgram::Reply;
using platform::RootKey;
constexpr const char* kTasks = "C:\\Windows\\System32\\Tasks";
constexpr const char* kServices = "SYSTEM\\CurrentControlSet\\Services";

std::string TaskText(const std::vector<std::pair<std::string, std::string>>& actions) {
  std::string xml = "<!-- written by the test -->\n<Task version=\"1.2\" xmlns=\"http://schemas.microsoft.com/windows/2004/02/mit/task\">\n  <Actions>\n";
  for (const auto& [command, arguments] : actions) {
    xml += "    <Exec>\n      <Command>" + command + "</Command>\n";
    if (!arguments.empty()) xml += "      <Arguments>" + arguments + "</Arguments>\n";
    xml += "    </Exec>\n";
  }
  return xml + "    <ComHandler><ClassId>{0}</ClassId></ComHandler>\n  </Actions>\n</Task>\n";
}

// As Windows writes them: UTF-16 with a byte order mark.
std::string Utf16File(const std::string& text) {
  std::string bytes = "\xFF\xFE";
  for (char16_t c : platform::Utf16(text)) bytes.append({char(c & 0xFF), char(c >> 8)});
  return bytes;
}

class Doors : public RegistryProgram {
 protected:
  Doors() {
    sys.files.CreateFolder("C:\\Windows\\System32");
    sys.files.CreateFolder(kTasks);
    Configure("auto_skan_rejestru=1");
  }
  void Task(const std::string& path, const std::string& bytes) {
    const std::string file = kTasks + path;
    for (size_t cut = file.find('\\', std::string(kTasks).size() + 1); cut != std::string::npos; cut = file.find('\\', cut + 1))
      sys.files.MakeFolder(file.substr(0, cut));
    ASSERT_TRUE(sys.files.Replace(file, bytes));
  }
  void Service(const std::string& name, uint32_t type, uint32_t start, const std::string& image) {
    Reg("[HKEY_LOCAL_MACHINE\\" + std::string(kServices) + "\\" + name + "]\n\"Type\"=dword:" + Hex(type) +
        "\n\"Start\"=dword:" + Hex(start) + "\n" + (image.empty() ? "" : "\"ImagePath\"=\"" + Escaped(image) + "\"\n"));
  }
  uint32_t Start(const std::string& name) {
    std::optional<platform::RegValue> v = sys.registry.Get(RootKey::LocalMachine, std::string(kServices) + "\\" + name, "Start");
    return v && v->data.size() == 4 ? uint32_t(uint8_t(v->data[0])) : 99;
  }
  std::vector<std::vector<std::string>> Logged(events::Event event) {
    std::vector<std::vector<std::string>> strings;
    for (const auto& e : sys.event_log.events)
      if (e.id == event.id) strings.push_back(e.strings);
    return strings;
  }
  std::string Baseline(int n, const char* key) { return Slot("C:\\Windows\\baseline.vlt", n, key); }
  std::string Removed(int n, const char* key) { return Slot(testing_support::kStatisticsPath, n, key); }
  // "Recover" on the Registry page's first line, every box answered so.
  void Recover(std::initializer_list<tk::ModalResult> answers) {
    backend.AnswerBoxes(answers);
    velmain->ShowPage(Find<tk::Page>("rejestr"));
    velmain->RefreshLists();
    ASSERT_TRUE(backend.Select(List("list_rejestr"), 0));
    ASSERT_TRUE(backend.Click(Button("Button9")));
    backend.RunUntilIdle();
  }

 private:
  static std::string Hex(uint32_t n) {
    char text[9];
    std::snprintf(text, sizeof text, "%08x", n);
    return text;
  }
  static std::string Escaped(const std::string& s) {
    std::string out;
    for (char c : s) out += c == '\\' ? std::string("\\\\") : std::string(1, c);
    return out;
  }
};

TEST_F(Doors, TheFirstScanTakesWhatItFindsAsKnownThenNewAndChangedEntriesAreAsked) {
  Task("\\Microsoft\\Defrag", Utf16File(TaskText({{"%windir%\\system32\\defrag.exe", "-c"}})));
  Task("\\Updater\\Daily", "\xEF\xBB\xBF" + TaskText({{"C:\\Program Files\\Up\\up.exe", "/daily"}, {"C:\\up2.exe", ""}}));
  Task("\\OnlyCom", TaskText({}));
  Task("\\Veltrane S-1-5-21-7", TaskText({{kExePath, ""}}));  // the program's own log-on task
  Service("Spooler", 0x110, 2, "%SystemRoot%\\System32\\spoolsv.exe");
  Service("Netsvc", 0x20, 2, "%SystemRoot%\\system32\\svchost.exe -k netsvcs");
  Reg("[HKEY_LOCAL_MACHINE\\" + std::string(kServices) + "\\Netsvc\\Parameters]\n\"ServiceDll\"=\"C:\\\\net.dll\"\n");
  Service("OnDemand", 0x10, 3, "C:\\demand.exe");
  Service("NoImage", 0x10, 2, "");
  Service("Driver", 0x1, 0, "\\SystemRoot\\System32\\drivers\\d.sys");
  StartAnswering();
  EXPECT_EQ(Alerts(), 0);
  const std::vector<std::vector<std::string>> known{
      {"Scheduled tasks.", "\\Microsoft\\Defrag", "%windir%\\system32\\defrag.exe -c"},
      {"Scheduled tasks.", "\\Updater\\Daily", "\"C:\\Program Files\\Up\\up.exe\" /daily"},
      {"Scheduled tasks.", "\\Updater\\Daily (2)", "C:\\up2.exe"},
      {"Local machine, services.", "Spooler", "%SystemRoot%\\System32\\spoolsv.exe"},
      {"Local machine, services.", "Netsvc", "%SystemRoot%\\system32\\svchost.exe -k netsvcs"},
      {"Local machine, services.", "Netsvc (DLL)", "C:\\net.dll"},
      {"Local machine, services.", "Driver", "\\SystemRoot\\System32\\drivers\\d.sys"}};
  EXPECT_EQ(Logged(events::kAutostartTakenAsKnown), known);
  EXPECT_EQ(Baseline(1, "nazwa"), "\\Updater\\Daily");
  EXPECT_EQ(Baseline(1, "wartosc"), "\"C:\\Program Files\\Up\\up.exe\" /daily");
  EXPECT_EQ(Baseline(6, "miejsce"), "Local machine, services.");

  // Known from now on, also to the next copy; a new task, a changed one and
  // a new service are asked about, and allowed onto the white list.
  Task("\\Evil\\Run", TaskText({{"C:\\evil.exe", "-x"}}));
  Task("\\Updater\\Daily", TaskText({{"C:\\Program Files\\Up\\up.exe", "/daily"}, {"C:\\other.exe", ""}}));
  Service("Evil", 0x10, 2, "C:\\evil service.exe");
  AnswerAlerts({R::Allow, R::Allow, R::Allow});
  Restart();
  ASSERT_EQ(Alerts(), 3);
  EXPECT_EQ(shown[0].section, "Scheduled tasks.");
  EXPECT_EQ(shown[0].name, "\\Evil\\Run");
  EXPECT_EQ(shown[0].value, "C:\\evil.exe -x");
  EXPECT_EQ(shown[0].exe, "evil.exe -x");
  EXPECT_EQ(shown[1].name, "\\Updater\\Daily (2)");
  EXPECT_EQ(shown[1].value, "C:\\other.exe");
  EXPECT_EQ(shown[2].section, "Local machine, services.");
  EXPECT_EQ(shown[2].name, "Evil");
  EXPECT_EQ(WhiteSlot(0, "miejsce"), "Scheduled tasks.");
  EXPECT_EQ(WhiteSlot(2, "wartosc"), "C:\\evil service.exe");
  shown.clear();
  Restart();
  EXPECT_EQ(Alerts(), 0);
}

// A file that is no task cannot be allowed by a command that every broken
// file would share: it is known by its content, and asked about again when
// that changes.
TEST_F(Doors, ABrokenTaskFileIsKnownOnlyByItsContent) {
  StartAnswering();
  Task("\\Broken", "<Task><Actions>");
  Task("\\Deep\\Other", "not a task at all");
  AnswerAlerts({R::Allow, R::Allow});
  Restart();
  ASSERT_EQ(Alerts(), 2);
  EXPECT_EQ(shown[0].name, "\\Broken");
  EXPECT_TRUE(shown[0].value.starts_with("(not a readable task, SHA-256 ")) << shown[0].value;
  EXPECT_EQ(WhiteSlot(0), "err");
  shown.clear();
  Restart();
  EXPECT_EQ(Alerts(), 0);
  Task("\\Broken", "<Task><Actions><Exec>");
  AnswerAlerts({R::Allow});
  Restart();
  ASSERT_EQ(Alerts(), 1);
  EXPECT_EQ(shown[0].name, "\\Broken");
}

TEST_F(Doors, ADeletedTaskIsKeptForRecoverAndARefusedDeletionIsTold) {
  StartAnswering();
  const std::string bytes = Utf16File(TaskText({{"C:\\evil.exe", "-x"}}));
  Task("\\Evil\\Run", bytes);
  AnswerAlerts({R::Delete});
  Restart();
  ASSERT_EQ(Alerts(), 1);
  EXPECT_FALSE(sys.files.Exists(std::string(kTasks) + "\\Evil\\Run"));
  EXPECT_EQ(Removed(0, "miejsce"), "Scheduled tasks.");
  EXPECT_EQ(Removed(0, "nazwa"), "\\Evil\\Run");
  EXPECT_EQ(Removed(0, "wartosc"), "C:\\evil.exe -x");
  EXPECT_EQ(sys.files.ReadAll("C:\\Program Files\\Quorvik\\Veltrane\\Trashcan\\Tasks\\" + Removed(0, "plik")), bytes);
  EXPECT_EQ(Logged(events::kAutostartDeleted).back(),
            (std::vector<std::string>{"Scheduled tasks.", "\\Evil\\Run", "C:\\evil.exe -x"}));
  velmain->RefreshLists();
  EXPECT_EQ(List("list_rejestr").Items(), std::vector<std::string>{"\\Evil\\Run: C:\\evil.exe -x"});

  // Put back by the scheduler from the bytes kept; not over a task of that path.
  Task("\\Evil\\Run", "squatter");
  Recover({tk::ModalResult::Ok, tk::ModalResult::Ok});
  EXPECT_EQ(backend.BoxTexts().back(), "The key already holds a value of that name.");
  sys.files.Delete(std::string(kTasks) + "\\Evil\\Run");
  backend.ClearBoxes();
  Recover({tk::ModalResult::Ok, tk::ModalResult::Ok});
  EXPECT_EQ(sys.tasks.LastRegistered(), bytes);
  EXPECT_EQ(sys.files.ReadAll(std::string(kTasks) + "\\Evil\\Run"), bytes);
  EXPECT_EQ(Removed(0, "wartosc"), "err");

  // The scheduler may refuse: the task stays, nothing is recorded.
  sys.tasks.RefuseDeletes(0x80070005);
  Task("\\Locked", TaskText({{"C:\\locked.exe", ""}}));
  backend.ClearBoxes();
  AnswerAlerts({R::Delete, R::Allow});
  Restart();
  EXPECT_EQ(Boxes(), (std::vector<std::string>{"Are you sure that you want to remove this scheduled task?",
                                               "Veltrane may not change the scheduled task \\Locked."}));
  EXPECT_TRUE(sys.files.Exists(std::string(kTasks) + "\\Locked"));
  EXPECT_EQ(Removed(0, "wartosc"), "err");
  EXPECT_EQ(Logged(events::kAccessRefused).back(), (std::vector<std::string>{"\\Locked", "change"}));
}

TEST_F(Doors, AServiceIsDisabledAndPutBackThroughTheManagerWhenItKnowsIt) {
  StartAnswering();
  Service("Fresh", 0x10, 2, "C:\\fresh.exe");  // written straight into the registry
  Service("Known", 0x20, 2, "C:\\known.exe");
  sys.services.Know("Known", true);
  sys.services.FailStops(1051);
  AnswerAlerts({R::Delete, R::DeleteTicked});
  Restart();
  ASSERT_EQ(Alerts(), 2);
  EXPECT_EQ(Start("Fresh"), 4u);
  EXPECT_EQ(Start("Known"), 4u);
  EXPECT_EQ(Boxes(), (std::vector<std::string>{
                         "Are you sure that you want to disable this service? It will not start with Windows any more.",
                         "Are you sure that you want to disable this service? It will not start with Windows any more.",
                         "The service was disabled, but it could not be stopped now. It will not start again with Windows.",
                         "C:\\known.exe", "Program was blocked successfuly."}));
  EXPECT_EQ(Logged(events::kServiceDisabled).size(), 2u);
  EXPECT_EQ(Slot(testing_support::kBlackListPath, 0, "sciezka"), "C:\\known.exe");
  EXPECT_EQ(Removed(0, "typ"), "REG_DWORD");
  EXPECT_EQ(Removed(0, "wartosc"), "2");
  velmain->RefreshLists();
  EXPECT_EQ(List("list_rejestr").Items(), (std::vector<std::string>{"Fresh: C:\\fresh.exe", "Known: C:\\known.exe"}));

  // Disabled, it is no entry; put back, it starts with Windows again.
  shown.clear();
  Restart();
  EXPECT_EQ(Alerts(), 0);
  Recover({tk::ModalResult::Ok, tk::ModalResult::Ok});
  EXPECT_EQ(Start("Fresh"), 2u);
  // Someone changed the start type since: the person decides.
  sys.registry.Open(RootKey::LocalMachine, std::string(kServices) + "\\Known", platform::Access::ReadWrite)
      ->WriteDword("Start", 3);
  Recover({tk::ModalResult::Ok, tk::ModalResult::Yes, tk::ModalResult::Ok});
  EXPECT_TRUE(backend.BoxTexts()[backend.BoxTexts().size() - 2].starts_with("The key already holds a value named \"Start\""));
  EXPECT_EQ(Start("Known"), 2u);
  velmain->RefreshLists();
  EXPECT_TRUE(List("list_rejestr").Items().empty());
}

// What the first scan took as known is bound to its program: a service
// binary replaced later is asked about, and "Allow" rebinds its record.
TEST_F(Doors, ABaselineServiceWhoseBinaryWasReplacedIsAsked) {
  ASSERT_TRUE(sys.files.Replace("C:\\Windows\\System32\\spoolsv.exe", "spooler"));
  Service("Spooler", 0x110, 2, "%SystemRoot%\\System32\\spoolsv.exe");
  StartAnswering();
  EXPECT_EQ(Alerts(), 0);
  EXPECT_EQ(Baseline(0, "skrot_pliku"), platform::Sha256Hex("spooler"));

  ASSERT_TRUE(sys.files.Replace("C:\\Windows\\System32\\spoolsv.exe", "a spooler no more"));
  AnswerAlerts({R::Allow});
  Restart();
  ASSERT_EQ(Alerts(), 1);
  EXPECT_EQ(shown[0].name, "Spooler");
  EXPECT_EQ(shown[0].header, "Allowed program changed!");
  EXPECT_EQ(Baseline(0, "skrot_pliku"), platform::Sha256Hex("a spooler no more"));
  EXPECT_EQ(WhiteSlot(0), "err");
  Restart();
  EXPECT_EQ(Alerts(), 1);
}

TEST_F(Doors, ACopyWithoutAdministratorsRightsLeavesThemAlone) {
  sys.system.SetAdminRights(false);
  Service("Evil", 0x10, 2, "C:\\evil.exe");
  StartAnswering();
  EXPECT_EQ(Alerts(), 0);
  EXPECT_FALSE(sys.files.Exists("C:\\Windows\\baseline.vlt"));
  EXPECT_TRUE(Logged(events::kAutostartTakenAsKnown).empty());
  EXPECT_EQ(Find<components::TProPanel>("status").Caption(), registry::kAdminOnly);
}

// The live test scans a changed place alone, without the change question,
// and watches a folder made after it started.
TEST_F(Doors, TheLiveTestScansAChangedPlaceQuietly) {
  Configure("auto_skan_rejestru=1\r\nauto_skan_zywy=1");
  app::Tvelmain& w = StartAnswering();
  ASSERT_TRUE(w.protection().Watching());
  auto settled = [&] {
    EXPECT_TRUE(backend.WaitForSynchronize(5000));
    backend.RunUntilIdle();
    backend.Advance(600);
    backend.RunUntilIdle();
  };
  AnswerAlerts({R::Allow, R::Delete});
  sys.files.MakeFolder(std::string(kTasks) + "\\Later");
  settled();
  Task("\\Later\\Drop", TaskText({{"C:\\drop.exe", ""}}));
  settled();
  ASSERT_EQ(Alerts(), 1);
  EXPECT_EQ(shown[0].name, "\\Later\\Drop");
  Service("Sneaky", 0x10, 2, "C:\\sneaky.exe");
  settled();
  ASSERT_EQ(Alerts(), 2);
  EXPECT_EQ(Start("Sneaky"), 4u);
  EXPECT_EQ(Boxes(), std::vector<std::string>{
                         "Are you sure that you want to disable this service? It will not start with Windows any more."});
  EXPECT_TRUE(Logged(events::kGuardedPlaceChanged).empty());
}

}  // namespace
}  // namespace scenario
