// The registry doctor at start-up: which autostart commands lose their
// quotes, the progress bars, and the window closing itself.
#include "registry/doktorfrm.h"
#include "tests/scenario/registry_fixture.h"

namespace scenario {
namespace {

using platform::RootKey;
using platform::ValueType;

platform::RegValue Typed(ValueType type, const std::string& data) { return platform::RegValue{uint32_t(type), data}; }

class RegistryDoctor : public RegistryProgram {
 protected:
  registry::Tdoktor& Doctor() { return *velmain->doktor; }
};

TEST_F(RegistryDoctor, RepairsOnlyWhatItCanRepairWithoutLoss) {
  struct Case {
    const char* name;
    platform::RegValue before;
    platform::RegValue after;
  } cases[] = {
      {"bare path", Typed(ValueType::Sz, "\"C:\\App\\app.exe\""), Typed(ValueType::Sz, "C:\\App\\app.exe")},
      {"switch", Typed(ValueType::Sz, "\"C:\\App\\app.exe\" -min"), Typed(ValueType::Sz, "\"C:\\App\\app.exe\" -min")},
      {"glued switch", Typed(ValueType::Sz, "\"C:\\App\\app.exe -min\""), Typed(ValueType::Sz, "\"C:\\App\\app.exe -min\"")},
      {"unquoted", Typed(ValueType::Sz, "C:\\App\\app.exe /x"), Typed(ValueType::Sz, "C:\\App\\app.exe /x")},
      {"arguments", Typed(ValueType::Sz, "\"C:\\App\\app.exe\" /x"), Typed(ValueType::Sz, "\"C:\\App\\app.exe\" /x")},
      {"doubled marks", Typed(ValueType::Sz, "\"C:\\A\"\"B\\app.exe\""), Typed(ValueType::Sz, "C:\\A\"B\\app.exe")},
      {"two marks", Typed(ValueType::Sz, "\"\""), Typed(ValueType::Sz, "\"\"")},
      {"lone mark", Typed(ValueType::Sz, "\""), Typed(ValueType::Sz, "\"")},
      {"never closed", Typed(ValueType::Sz, "\"C:\\App\\app.exe"), Typed(ValueType::Sz, "\"C:\\App\\app.exe")},
      {"blank inside", Typed(ValueType::Sz, "\"C:\\Program Files\\app.exe\""),
       Typed(ValueType::Sz, "\"C:\\Program Files\\app.exe\"")},
      {"expandable", Typed(ValueType::ExpandSz, "\"%SystemRoot%\\app.exe\""),
       Typed(ValueType::ExpandSz, "%SystemRoot%\\app.exe")},
      {"number", Typed(ValueType::Dword, std::string("\"\0\0\"", 4)), Typed(ValueType::Dword, std::string("\"\0\0\"", 4))},
      {"bytes", Typed(ValueType::Binary, "\"C:\\x.exe\""), Typed(ValueType::Binary, "\"C:\\x.exe\"")},
  };
  for (const Case& c : cases) sys.registry.Set(RootKey::LocalMachine, kRun, c.name, c.before);
  // The same repair in each of the four keys.
  sys.registry.Set(RootKey::LocalMachine, kRunOnce, "once", Typed(ValueType::Sz, "\"C:\\o.exe\""));
  sys.registry.Set(RootKey::CurrentUser, kRun, "user", Typed(ValueType::Sz, "\"C:\\u.exe\""));
  sys.registry.Set(RootKey::CurrentUser, kRunOnce, "user once", Typed(ValueType::Sz, "\"C:\\uo.exe\""));
  Configure("");
  StartAnswering();

  for (const Case& c : cases) {
    auto v = Value(RootKey::LocalMachine, kRun, c.name);
    ASSERT_TRUE(v) << c.name;
    EXPECT_EQ(v->data, c.after.data) << c.name;
    EXPECT_EQ(v->type, c.after.type) << c.name;
  }
  EXPECT_EQ(Value(RootKey::LocalMachine, kRunOnce, "once")->data, "C:\\o.exe");
  EXPECT_EQ(Value(RootKey::CurrentUser, kRun, "user")->data, "C:\\u.exe");
  EXPECT_EQ(Value(RootKey::CurrentUser, kRunOnce, "user once")->data, "C:\\uo.exe");
  EXPECT_TRUE(backend.Boxes().empty());
}

TEST_F(RegistryDoctor, OneBarPerKeyFollowsItsValues) {
  // Run (machine): empty; RunOnce (machine): one value; RunOnce (user):
  // many; Run (user): missing.
  sys.registry.LoadRegText(
      "REGEDIT4\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run]\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce]\n"
      "\"one\"=\"C:\\\\one.exe\"\n"
      "[HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce]\n"
      "\"a\"=\"C:\\\\a.exe\"\n\"b\"=\"C:\\\\b.exe\"\n\"c\"=\"C:\\\\c.exe\"\n\"d\"=\"C:\\\\d.exe\"\n"
      "\"e\"=dword:00000001\n");
  Configure("");
  StartAnswering();
  registry::Tdoktor& d = Doctor();
  struct Bar {
    tk::ProgressBar& bar;
    int max, position;
  } bars[] = {{d.postep, 0, 0}, {d.postep2, 0, 0}, {d.postep3, 4, 4}, {d.postep4, 0, 0}};
  for (const Bar& b : bars) {
    EXPECT_EQ(b.bar.Max(), b.max) << b.bar.Name();
    EXPECT_EQ(b.bar.Position(), b.position) << b.bar.Name();
  }
  // A missing key is no error.
  EXPECT_TRUE(backend.Boxes().empty());
  EXPECT_FALSE(app.Terminated());
}

TEST_F(RegistryDoctor, ClosesItselfTwoSecondsAfterItsWork) {
  SeedAutostartKeys();
  Configure("");
  registry::Tdoktor* shown_doctor = nullptr;
  int64_t first_tick = -1, tick_after_reactivation = -1;
  // Half a second in, the user switches away and back: the repairs run
  // again, the closing time stays.
  tk::Timer user{"user", 500};
  user.SetOnTimer([&] {
    user.SetEnabled(false);
    shown_doctor->FormActivate();
    tick_after_reactivation = backend.NextTick(shown_doctor->Timer1);
  });
  backend.modal_answerer = [&](tk::Form& form) {
    auto* doctor = dynamic_cast<registry::Tdoktor*>(&form);
    if (doctor && !shown_doctor) {
      shown_doctor = doctor;
      first_tick = backend.NextTick(doctor->Timer1);
      user.SetEnabled(true);
    }
    return false;
  };
  const int64_t start = backend.Now();
  Start();
  ASSERT_TRUE(shown_doctor);
  EXPECT_EQ(shown_doctor, velmain->doktor.get());
  EXPECT_EQ(first_tick, start + 2000);
  EXPECT_EQ(tick_after_reactivation, start + 2000);
  EXPECT_EQ(backend.ModalForms().front(), "doktor");
  EXPECT_EQ(backend.UnansweredModals(), 0);
  // Closed by its timer, and kept until the main window goes.
  EXPECT_FALSE(shown_doctor->Visible());
  EXPECT_FALSE(shown_doctor->Timer1.Enabled());
}

// What Windows refuses the doctor is told once per run and key, and the
// other keys are repaired all the same.
TEST_F(RegistryDoctor, AKeyItMayNotChangeOrReadIsToldOnceAndTheOthersAreRepaired) {
  SeedAutostartKeys();
  sys.registry.Set(RootKey::LocalMachine, kRun, "machine", Typed(ValueType::Sz, "\"C:\\m.exe\""));
  sys.registry.Set(RootKey::CurrentUser, kRun, "user", Typed(ValueType::Sz, "\"C:\\u.exe\""));
  sys.registry.DenyWrite(RootKey::LocalMachine, kRun);
  sys.registry.DenyAccess(RootKey::LocalMachine, kRunOnce);
  Configure("");
  StartAnswering();

  const std::string key = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\";
  EXPECT_EQ(backend.BoxTexts(),
            (std::vector<std::string>{
                "Veltrane may not change the registry key " + key + "Run. A program may be hiding autostart entries there.",
                "Veltrane may not read the registry key " + key + "RunOnce. A program may be hiding autostart entries there."}));
  EXPECT_FALSE(app.Terminated());
  EXPECT_EQ(Value(RootKey::LocalMachine, kRun, "machine")->data, "\"C:\\m.exe\"");
  EXPECT_EQ(Value(RootKey::CurrentUser, kRun, "user")->data, "C:\\u.exe");
  // The next visit is told nothing new.
  velmain->ShowRegistryDoctor();
  EXPECT_EQ(backend.BoxTexts().size(), 2u);
}

}  // namespace
}  // namespace scenario
