// The registry alert: its window and what its rows show.
#include <gtest/gtest.h>

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
  EXPECT_EQ(alert.ClientHeight(), 257);
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
    EXPECT_LE(c->Top() + c->Height(), 257) << c->Name();
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
    EXPECT_EQ(Rows(alert), (std::vector<std::string>{"section", "name", "value", "path", "exe", "Not available..."}));
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
