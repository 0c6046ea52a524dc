// The program's life as events interleave: once it is told to end nothing
// more is scanned or stopped; every scan, the start-up included, waits for
// the one running; closing the window runs the exit scan after it; dialogs
// do their work without the foreground; and a few smaller promises.
#include <gmock/gmock.h>

#include "tests/support/child.h"
#include "process/pamiecalertfrm.h"
#include "registry/data_files.h"
#include "registry/doktorfrm.h"
#include "registry/rejestralertfrm.h"
#include "tests/scenario/program.h"
#include "tests/support/data_paths.h"

namespace scenario {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using platform::RootKey;

constexpr const char* kRun = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char* kAgent = "C:\\Apps\\agent.exe";
constexpr const char* kOther = "C:\\Apps\\other.exe";
constexpr const char* kNoRights =
    "Your current Windows security settings do not allow this program to modify registry. You may use this "
    "feature only on administrator accounts with full system rights.This program is currently useless for you. "
    "It will be removed from autostart group. Change your security settings.";

class Lifecycle : public Program {
 public:
  struct Seen {
    std::string form;  // "rejestralert" or "pamiecalert"
    std::string what;  // the value's name, or the program's path
    int depth;         // how many modal loops were running
    bool operator==(const Seen&) const = default;
  };

 protected:
  Lifecycle() { SeedAutostartKeys(); }

  // glowna and skan: lines of those sections of the configuration.
  app::Tvelmain& StartWith(const std::string& glowna, const std::string& skan = "") {
    WriteFile(registry::ConfigPath("C:\\Windows", kUser),
              "[glowna]\r\nskonfigurowany=1\r\n" + glowna + "\r\n[skan]\r\n" + skan + "\r\n");
    backend.modal_answerer = [this](tk::Form& form) { return Answer(form); };
    return Start();
  }
  void Forbid(int slot, const char* path) {
    registry::IniStore store(sys.files, testing_support::kBlackListPath);
    registry::WriteSlot(store, slot, {{"sciezka", path}});
  }
  void AddRunValue(const std::string& name, const std::string& data) {
    sys.registry.Set(RootKey::LocalMachine, kRun, name, platform::RegValue{1, data});
  }
  std::string WhiteSlot(int n) {
    registry::IniStore store(sys.files, testing_support::kWhiteListPath);
    return registry::ReadSlot(store, n, "wartosc").value_or("err");
  }
  // The user's answers, as buttons pressed.
  void Press(tk::Button& b) { ASSERT_TRUE(backend.Click(b)); }

  std::vector<Seen> alerts;                  // each alert as it came up
  std::vector<std::vector<std::string>> rows;  // the registry alert's rows then
  // Called at the idle moments of every alert and of the doctor; returns
  // whether it acted. Unset or not acting: the doctor closes itself, an
  // alert is left unanswered.
  std::function<bool(tk::Form&)> on_modal;

 private:
  bool Answer(tk::Form& form) {
    if (backend.ModalForms().size() != modals_seen_) {
      modals_seen_ = backend.ModalForms().size();
      if (auto* r = dynamic_cast<registry::Trejestralert*>(&form)) {
        alerts.push_back({"rejestralert", Child<tk::Label>(*r, "nazwa_klucza").Caption(), app.ModalDepth()});
        rows.push_back({Child<tk::Label>(*r, "sekcja_rejestru").Caption(), Child<tk::Label>(*r, "nazwa_klucza").Caption(), Child<tk::Label>(*r, "wartosc_klucza").Caption(),
                        Child<tk::Label>(*r, "sciezka_pliku").Caption(), Child<tk::Label>(*r, "nazwa_pliku").Caption()});
      } else if (auto* p = dynamic_cast<process::Tpamiecalert*>(&form)) {
        alerts.push_back({"pamiecalert", Child<tk::Label>(*p, "sciezka_pliku").Caption(), app.ModalDepth()});
      }
    }
    return on_modal && on_modal(form);
  }
  size_t modals_seen_ = 0;
};

// ---------------------------------------------------------------------------
// 1. Once the program is told to end, nothing more is scanned or stopped.

struct EndingCase {
  const char* name;
  const char* glowna;
  const char* skan;
  // Before the start; then after it.
  std::function<void(Lifecycle&)> before;
  std::function<void(Lifecycle&)> act;
  const char* box;  // the one box the user sees
  bool timers_started;
};

class Ending : public Lifecycle, public ::testing::WithParamInterface<EndingCase> {
 public:
  // Test access for the table's lambdas.
  app::Tvelmain& W() { return *velmain; }
  platform::portable::PortablePlatform& Sys() { return sys; }
  tk::headless::HeadlessBackend& Backend() { return backend; }
  std::function<bool(tk::Form&)>& OnModal() { return on_modal; }
};

TEST_P(Ending, NothingMoreIsScannedOrStopped) {
  const EndingCase& c = GetParam();
  // A forbidden program runs, and silent mode would stop it without asking.
  sys.processes.Add(10, kAgent);
  Forbid(0, kAgent);
  if (c.before) c.before(*this);
  StartWith(c.glowna, c.skan);
  // A program started since: a list refresh would show it.
  sys.processes.Add(40, kOther);
  if (c.act) {
    c.act(*this);
    backend.RunUntilIdle();
  }
  EXPECT_TRUE(app.Terminated());
  EXPECT_TRUE(sys.processes.Running(10));
  EXPECT_THAT(sys.processes.Terminated(), IsEmpty());
  EXPECT_THAT(backend.BoxTexts(), ElementsAre(c.box));
  EXPECT_THAT(List("list_pamiec").Items(), ::testing::Not(::testing::Contains(kOther)));
  EXPECT_EQ(velmain->Timer1.Enabled(), c.timers_started);
  EXPECT_FALSE(velmain->protection().Gate().Busy());
}

const EndingCase kEndingCases[] = {
    {"NoRightsExitInsideScanNow", "", "skanuj_rejestr=1\r\nskanuj_pamiec=1\r\nskanuj_usun_cicho=1", nullptr,
     [](Lifecycle& t) {
       auto& e = static_cast<Ending&>(t);
       e.Sys().system.SetAdminRights(false);
       e.Sys().registry.DenyAccess(RootKey::LocalMachine, kRun);
       e.Backend().Post([&e] { e.W().ScanNow(); });
     },
     kNoRights, true},
    {"NoRightsExitOfTheStartupScan", "auto_skan_rejestru=1\r\nauto_skan_pamieci=1", "skanuj_usun_cicho=1",
     [](Lifecycle& t) {
       auto& e = static_cast<Ending&>(t);
       // The doctor could read, the scan after it may not.
       e.Sys().system.SetAdminRights(false);
       e.OnModal() = [&e](tk::Form& form) {
         if (dynamic_cast<registry::Tdoktor*>(&form)) e.Sys().registry.DenyAccess(RootKey::LocalMachine, kRun);
         return false;
       };
     },
     nullptr, kNoRights, false},
    {"NoRightsExitAtTheDoctor", "auto_skan_rejestru=1\r\nauto_skan_pamieci=1", "skanuj_usun_cicho=1",
     [](Lifecycle& t) {
       auto& e = static_cast<Ending&>(t);
       e.Sys().system.SetAdminRights(false);
       e.Sys().registry.DenyAccess(RootKey::LocalMachine, kRun);
     },
     nullptr, kNoRights, false},
};

INSTANTIATE_TEST_SUITE_P(Lifecycle, Ending, ::testing::ValuesIn(kEndingCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Lifecycle, ExitProgramWhileTheMemoryScanRunsStopsNothingMore) {
  sys.processes.Add(10, kAgent);
  Forbid(0, kAgent);
  app::Tvelmain& w = StartWith("", "skanuj_usun_cicho=1");
  backend.Post([&w] { w.ExitProgram(); });  // taken by the scan's first pump
  ScanMemory();
  EXPECT_TRUE(app.Terminated());
  EXPECT_TRUE(sys.processes.Running(10));
  EXPECT_NE(LastBalloon(), "Memory scanning done.");
}

TEST_F(Lifecycle, ClosingTheWindowWhileTheStartupMemoryScanAsksEndsWithoutFurtherAlerts) {
  sys.processes.Add(10, kAgent);
  sys.processes.Add(12, kOther);
  Forbid(0, kAgent);
  Forbid(1, kOther);
  on_modal = [this](tk::Form& form) {
    if (!dynamic_cast<process::Tpamiecalert*>(&form)) return false;
    if (alerts.size() == 1) backend.CloseBox(*velmain);  // the first alert waits for an answer
    return true;
  };
  app::Tvelmain& w = StartWith("auto_skan_pamieci=1");
  EXPECT_TRUE(app.Terminated());
  EXPECT_THAT(alerts, ElementsAre(Seen{"pamiecalert", kAgent, 1}));
  EXPECT_THAT(backend.BoxTexts(), IsEmpty());  // no answer reported lost
  EXPECT_TRUE(sys.processes.Running(10));
  EXPECT_TRUE(sys.processes.Running(12));
  EXPECT_FALSE(w.Timer1.Enabled());
  EXPECT_FALSE(w.protection().Gate().Busy());
}

// ---------------------------------------------------------------------------
// 2. Every scan under one gate; the exit scan is never silently dropped.

TEST_F(Lifecycle, ScanNowDuringTheStartupMemoryScanWaitsForIt) {
  sys.processes.Add(10, kAgent);
  Forbid(0, kAgent);
  AddRunValue("Stranger", "C:\\stranger.exe");
  on_modal = [this](tk::Form& form) {
    if (auto* p = dynamic_cast<process::Tpamiecalert*>(&form)) {
      // A click on "Scan now" while the memory scan asks.
      backend.Post([this] { velmain->ScanNow(); });
      Press(Child<tk::Button>(*p, "Button1"));  // "Stop!"
      return true;
    }
    if (auto* r = dynamic_cast<registry::Trejestralert*>(&form)) {
      Press(Child<tk::Button>(*r, "Button1"));  // "Allow"
      return true;
    }
    return false;
  };
  app::Tvelmain& w = StartWith("auto_skan_pamieci=1", "skanuj_rejestr=1");
  EXPECT_THAT(alerts, ElementsAre(Seen{"pamiecalert", kAgent, 1}, Seen{"rejestralert", "Stranger", 1}));
  EXPECT_FALSE(sys.processes.Running(10));
  EXPECT_EQ(WhiteSlot(0), "C:\\stranger.exe");
  EXPECT_THAT(backend.BoxTexts(), IsEmpty());
  EXPECT_FALSE(app.Terminated());
  EXPECT_FALSE(w.protection().Gate().Busy());
}

struct ClosingCase {
  const char* name;
  const char* glowna;
  // What the user does at the first alert (or the doctor) to end the program.
  enum { CloseBox, ExitProgram } how;
  bool at_doctor;
  bool scan_now;  // the first alert comes from "Scan now" after the start-up
  std::vector<Lifecycle::Seen> expected_alerts;
  bool allowed;  // the exit scan's alert was answered "Allow"
};

class Closing : public Lifecycle, public ::testing::WithParamInterface<ClosingCase> {};

TEST_P(Closing, TheExitScanRunsAfterTheRunningScanThenTheProgramEnds) {
  const ClosingCase& c = GetParam();
  sys.processes.Add(10, kAgent);
  Forbid(0, kAgent);
  AddRunValue("Stranger", "C:\\stranger.exe");
  bool ended = false;
  on_modal = [&](tk::Form& form) {
    const bool doctor = dynamic_cast<registry::Tdoktor*>(&form) != nullptr;
    if (!ended && doctor == c.at_doctor) {
      ended = true;
      if (c.how == ClosingCase::CloseBox)
        backend.CloseBox(*velmain);
      else
        backend.Post([this] { velmain->ExitProgram(); });
      return true;
    }
    if (auto* r = dynamic_cast<registry::Trejestralert*>(&form)) {
      Press(Child<tk::Button>(*r, "Button1"));
      return true;
    }
    return false;
  };
  StartWith(c.glowna, "skanuj_rejestr=1");
  // "Scan now" once the start-up has ended.
  if (c.scan_now) backend.Post([this] { velmain->ScanNow(); });
  backend.RunUntilIdle();
  EXPECT_TRUE(app.Terminated());
  EXPECT_EQ(alerts, c.expected_alerts);
  EXPECT_THAT(backend.BoxTexts(), IsEmpty());  // the alert the end closed is no lost answer
  EXPECT_EQ(WhiteSlot(0), c.allowed ? "C:\\stranger.exe" : "err");
  EXPECT_TRUE(sys.processes.Running(10));
  EXPECT_FALSE(velmain->protection().Gate().Busy());
}

const ClosingCase kClosingCases[] = {
    {"CloseBoxDuringScanNow", "auto_skan_koncowy=1", ClosingCase::CloseBox, false, true,
     {{"rejestralert", "Stranger", 1}, {"rejestralert", "Stranger", 1}}, true},
    {"CloseBoxDuringTheStartupMemoryScan", "auto_skan_pamieci=1\r\nauto_skan_koncowy=1", ClosingCase::CloseBox,
     false, false, {{"pamiecalert", kAgent, 1}, {"rejestralert", "Stranger", 1}}, true},
    {"CloseBoxDuringTheDoctor", "auto_skan_rejestru=1\r\nauto_skan_pamieci=1\r\nauto_skan_koncowy=1",
     ClosingCase::CloseBox, true, false, {{"rejestralert", "Stranger", 1}}, true},
    {"ExitProgramEndsWithoutIt", "auto_skan_koncowy=1", ClosingCase::ExitProgram, false, true,
     {{"rejestralert", "Stranger", 1}}, false},
};

INSTANTIATE_TEST_SUITE_P(Lifecycle, Closing, ::testing::ValuesIn(kClosingCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Lifecycle, DuringTheExitScanNothingElseStartsAndAnotherCloseChangesNothing) {
  sys.processes.Add(10, kAgent);
  Forbid(0, kAgent);
  AddRunValue("Stranger", "C:\\stranger.exe");
  app::Tvelmain& w = StartWith("auto_skan_koncowy=1", "skanuj_pamiec=1");
  bool acted = false;
  on_modal = [&](tk::Form& form) {
    auto* r = dynamic_cast<registry::Trejestralert*>(&form);
    if (!r) return false;
    if (!acted) {
      // While the exit scan asks: the close box again, and "Scan now".
      acted = true;
      backend.CloseBox(w);
      backend.Post([&w] { w.ScanNow(); });
      return true;
    }
    Press(Child<tk::Button>(*r, "Button1"));
    return true;
  };
  backend.CloseBox(w);
  backend.RunUntilIdle();
  EXPECT_TRUE(app.Terminated());
  EXPECT_THAT(alerts, ElementsAre(Seen{"rejestralert", "Stranger", 1}));
  EXPECT_EQ(WhiteSlot(0), "C:\\stranger.exe");
  EXPECT_THAT(backend.BoxTexts(), IsEmpty());
  EXPECT_TRUE(sys.processes.Running(10));
  EXPECT_FALSE(w.protection().Gate().Busy());
}

// ---------------------------------------------------------------------------
// 3. Dialogs do their work when Windows refuses them the foreground.

TEST_F(Lifecycle, WithoutTheForegroundTheDoctorRepairsAndClosesAndTheAlertIsFilled) {
  backend.refuse_activation = true;
  AddRunValue("Quoted", "\"C:\\Apps\\quoted.exe\"");
  on_modal = [this](tk::Form& form) {
    if (auto* r = dynamic_cast<registry::Trejestralert*>(&form)) Press(Child<tk::Button>(*r, "Button1"));
    return dynamic_cast<registry::Trejestralert*>(&form) != nullptr;
  };
  app::Tvelmain& w = StartWith("auto_skan_rejestru=1");
  // Repaired, and closed by its own timer: nothing was left waiting.
  EXPECT_EQ(sys.registry.Get(RootKey::LocalMachine, kRun, "Quoted")->data, "C:\\Apps\\quoted.exe");
  EXPECT_EQ(backend.UnansweredModals(), 0);
  EXPECT_FALSE(w.doktor->Visible());
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_THAT(rows[0], ElementsAre("Local machine, autostart.", "Quoted", "C:\\Apps\\quoted.exe", "C:\\Apps\\",
                                   "quoted.exe"));
  EXPECT_EQ(WhiteSlot(0), "C:\\Apps\\quoted.exe");
}

// ---------------------------------------------------------------------------
// 5. Smaller promises.

// Records every text the status line shows.
class CaptionLog : public tk::ControlPeer {
 public:
  CaptionLog(tk::Control& c, std::vector<std::string>& log) : c_(c), log_(log) {}
  void Update(tk::Prop p) override {
    if (p == tk::Prop::Caption) log_.push_back(c_.Caption());
  }

 private:
  tk::Control& c_;
  std::vector<std::string>& log_;
};

TEST_F(Lifecycle, RefreshDotsGoOnTheRefreshTextOnly) {
  app::Tvelmain& w = StartWith("auto_skan_rejestru=1");
  std::vector<std::string> shown;
  backend.AttachPeer(Find<components::TProPanel>("status"), std::make_unique<CaptionLog>(Find<components::TProPanel>("status"), shown));
  // Left alone: one dot per slot read, up to 55 characters, then the level.
  w.RefreshLists();
  ASSERT_EQ(shown.size(), 40u);
  EXPECT_EQ(shown[0], "Refreshing lists.");
  EXPECT_EQ(shown[38], "Refreshing lists." + std::string(38, '.'));
  EXPECT_EQ(shown[39], "System Protection: 25%");
  // A click on a setting while the lists are read shows the level at once;
  // no dots are put after it.
  shown.clear();
  ASSERT_TRUE(backend.Click(Box("auto_skan_koncowy")));
  w.RefreshLists();
  EXPECT_THAT(shown, ElementsAre("Refreshing lists.", "System Protection: 45%"));
  backend.AttachPeer(Find<components::TProPanel>("status"), nullptr);
}

TEST_F(Lifecycle, AFailedStartWithWindowsRegistrationIsToldOncePerRun) {
  const std::string told =
      "Veltrane could not register itself to start with Windows, so it will not start by itself when Windows "
      "starts.";
  sys.registry.FailWrites(RootKey::CurrentUser, "Software\\Microsoft\\Windows\\CurrentVersion\\Run");
  // The first run registers while it chooses the standard settings.
  Start();
  EXPECT_THAT(backend.BoxTexts(),
              ElementsAre("This program can be dangerous for your data. You are using it at your own risk.",
                          "This is a free software.", "Not yet configured. Standard settings will be selected.",
                          told, "Configuration saved."));
  EXPECT_EQ(backend.Boxes()[3].kind, tk::MsgKind::Warning);
  EXPECT_EQ(AutoRunValue(), std::nullopt);
  // The next start tries again, and tells again, once.
  Restart();
  EXPECT_THAT(backend.BoxTexts(), ElementsAre(told));
  // Switching it off is no registration.
  backend.ClearBoxes();
  sys.registry.FailWrites(RootKey::CurrentUser, "Software\\Microsoft\\Windows\\CurrentVersion\\Run", false);
  velmain->auto_.SetAutoRun(false);
  velmain->auto_.SetAutoRun(true);
  EXPECT_THAT(backend.BoxTexts(), IsEmpty());
  EXPECT_EQ(AutoRunValue(), kQuotedExePath);
}

}  // namespace
}  // namespace scenario
