// The registry alert: its window and what its rows show, the facts of the
// entry's program too.
#include <gtest/gtest.h>

#include <memory>

#include "process/pamiecalertfrm.h"
#include "registry/program_facts.h"
#include "tests/doubles/portable/portable.h"
#include "tests/support/child.h"
#include "registry/rejestralertfrm.h"
#include "toolkit/application.h"
#include "tests/doubles/headless/headless_backend.h"

namespace {

using registry::Trejestralert;

class RegistryAlert : public ::testing::Test {
 protected:
  tk::headless::HeadlessBackend backend;
  tk::Application app{backend};
  const registry::Question question{"section", "name", "value", "path", "exe"};

  std::vector<std::string> Rows(Trejestralert& a) {
    return {Child<tk::Label>(a, "sekcja_rejestru").Caption(), Child<tk::Label>(a, "nazwa_klucza").Caption(), Child<tk::Label>(a, "wartosc_klucza").Caption(),
            Child<tk::Label>(a, "sciezka_pliku").Caption(), Child<tk::Label>(a, "nazwa_pliku").Caption(), Child<tk::Label>(a, "rozmiar_pliku").Caption()};
  }
};

TEST_F(RegistryAlert, IsAFixedCentredWindowWithoutTitleBarButtons) {
  Trejestralert alert(question);
  EXPECT_EQ(alert.Name(), "rejestralert");
  EXPECT_EQ(alert.ClassName(), "Trejestralert");
  EXPECT_EQ(alert.Caption(), "Veltrane Alert!");
  EXPECT_EQ(alert.ClientWidth(), 448);
  EXPECT_EQ(alert.ClientHeight(), 293);
  EXPECT_EQ(alert.Border(), tk::BorderStyle::Single);
  EXPECT_EQ(alert.BorderIcons(), 0u);
  EXPECT_EQ(alert.Position(), tk::FormPosition::ScreenCenter);
  EXPECT_EQ(Child<tk::Button>(alert, "Button1").Caption(), "Allow");
  EXPECT_EQ(Child<tk::Button>(alert, "Button2").Caption(), "Delete");
  EXPECT_EQ(Child<tk::CheckBox>(alert, "zabron").Caption(), "Add this executable to the list of forbidden processes");
  EXPECT_FALSE(Child<tk::CheckBox>(alert, "zabron").Checked());
  // Everything inside the client area, the buttons at the bottom right in order.
  for (tk::Control* c : alert.Children()) {
    EXPECT_GE(c->Left(), 0) << c->Name();
    EXPECT_LE(c->Left() + c->Width(), 448) << c->Name();
    EXPECT_LE(c->Top() + c->Height(), 293) << c->Name();
  }
  EXPECT_LT(Child<tk::Button>(alert, "Button1").Left(), Child<tk::Button>(alert, "Button2").Left());
  EXPECT_GT(Child<tk::Button>(alert, "Button1").Top(), Child<tk::CheckBox>(alert, "zabron").Top());
}

TEST_F(RegistryAlert, RowsShowTheQuestionAndTheAnswerComesBackWithItsBox) {
  struct Case {
    const char* name;
    bool tick;
    tk::ModalResult confirmation;  // of "Delete"; None: "Allow" is pressed
    registry::Decision expected;
  };
  const Case kCases[] = {
      {"allow", false, tk::ModalResult::None, {registry::Answer::Allow, false}},
      {"allow, ticked", true, tk::ModalResult::None, {registry::Answer::Allow, true}},
      {"delete, ticked", true, tk::ModalResult::Ok, {registry::Answer::Delete, true}},
      // Back to the alert, which is then closed.
      {"delete, cancelled", false, tk::ModalResult::Cancel, {registry::Answer::Unanswered, false}},
      {"closed unanswered", false, tk::ModalResult::None, {registry::Answer::Unanswered, false}},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    Trejestralert alert(question);
    EXPECT_EQ(Rows(alert), (std::vector<std::string>{"section", "name", "value", "path", "exe", "Checking..."}));
    bool answered = false;
    backend.modal_answerer = [&](tk::Form&) {
      if (answered) return false;
      answered = true;
      if (c.tick) backend.Click(Child<tk::CheckBox>(alert, "zabron"));
      if (c.confirmation == tk::ModalResult::None) {
        return c.expected.answer != registry::Answer::Unanswered && backend.Click(Child<tk::Button>(alert, "Button1"));
      }
      backend.AnswerBoxes({c.confirmation});
      return backend.Click(Child<tk::Button>(alert, "Button2"));
    };
    const registry::Decision decision = alert.Ask();
    EXPECT_EQ(decision.answer, c.expected.answer);
    EXPECT_EQ(decision.ticked, c.expected.ticked);
  }
}

}  // namespace

namespace {

// The program's facts: "Checking..." until they are found, then what the
// file says and what Windows verified; in the forbidden-process alert too.
TEST_F(RegistryAlert, ShowsTheProgramsFactsOnceTheyAreFound) {
  auto facts = std::make_shared<registry::FactsRequest>();
  registry::Question asked = question;
  asked.facts = facts;
  Trejestralert alert(asked);
  process::Tpamiecalert process_alert("C:\\Apps\\agent.exe", false, facts);
  auto row = [](tk::Form& form, const char* name) { return Child<tk::Label>(form, name).Caption(); };
  for (tk::Form* form : std::initializer_list<tk::Form*>{&alert, &process_alert})
    EXPECT_EQ(row(*form, "firma"), "Checking...");
  EXPECT_EQ(row(alert, "rozmiar_pliku"), "Checking...");

  facts->facts = {"1,234,567 bytes", "Quorvik", "Signed by Quorvik Ltd"};
  facts->found = true;
  // Each alert listens while it is open; the later one is told here.
  facts->on_found();
  EXPECT_EQ(row(process_alert, "rozmiar_pliku"), "1,234,567 bytes");
  EXPECT_EQ(row(process_alert, "firma"), "Quorvik");
  EXPECT_EQ(row(process_alert, "podpis"), "Signed by Quorvik Ltd");
  EXPECT_EQ(Child<tk::Label>(alert, "podpis_tytul").Caption(), "Signature:");
  EXPECT_EQ(Child<tk::Label>(process_alert, "firma_tytul").Caption(), "Company:");
}

TEST(ProgramFacts, SayWhatTheFileSaysAndWhatWindowsVerified) {
  platform::portable::ScratchFolder scratch;
  platform::portable::PortableFiles files(scratch.path());
  platform::portable::PortableProgramFiles program_files(files);
  using platform::SignatureKind;
  auto described = [&](SignatureKind kind, std::optional<std::string> company = {}) {
    return registry::Describe({true, 1234567, std::move(company), kind, "Quorvik Ltd"}, program_files);
  };
  EXPECT_EQ(described(SignatureKind::Signed, "Quorvik"),
            (registry::ProgramFacts{"1,234,567 bytes", "Quorvik", "Signed by Quorvik Ltd"}));
  EXPECT_EQ(described(SignatureKind::UntrustedSigner).signature,
            "Signed by Quorvik Ltd, but Windows does not trust the signer");
  EXPECT_EQ(described(SignatureKind::ChangedAfterSigning).signature, "Signed, but the file was changed after signing");
  EXPECT_EQ(described(SignatureKind::NotSigned).signature, "Not signed");
  EXPECT_EQ(described(SignatureKind::NotSigned).company, "(none given)");
  EXPECT_EQ(registry::Describe({}, program_files),
            (registry::ProgramFacts{"The file does not exist.", "The file does not exist.", "The file does not exist."}));
}

}  // namespace
