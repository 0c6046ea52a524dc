// The registry alert: its window and what its rows show.
#include <gtest/gtest.h>

#include "registry/rejestralertfrm.h"
#include "toolkit/application.h"
#include "toolkit/headless/headless_backend.h"

namespace {

using registry::Trejestralert;

class RegistryAlert : public ::testing::Test {
 protected:
  tk::headless::HeadlessBackend backend;
  tk::Application app{backend};
  tk::Label nazwa_klucza{nullptr, "nazwa_klucza"}, wartosc_klucza{nullptr, "wartosc_klucza"},
      sekcja_rejestru{nullptr, "sekcja_rejestru"}, sciezka_pliku{nullptr, "sciezka_pliku"},
      nazwa_pliku{nullptr, "nazwa_pliku"}, rozmiar_pliku{nullptr, "rozmiar_pliku"}, kontakt{nullptr, "kontakt"};
  tk::CheckBox usun{nullptr, "usun"}, czarna_lista{nullptr, "czarna_lista"}, zabron{nullptr, "zabron"};
  registry::HandOffChannel channel{nazwa_klucza, wartosc_klucza, sekcja_rejestru, sciezka_pliku, nazwa_pliku,
                                   rozmiar_pliku, kontakt, usun, czarna_lista, zabron};

  void Fill(const std::string& tag) {
    sekcja_rejestru.SetCaption("section " + tag);
    nazwa_klucza.SetCaption("name " + tag);
    wartosc_klucza.SetCaption("value " + tag);
    sciezka_pliku.SetCaption("path " + tag);
    nazwa_pliku.SetCaption("exe " + tag);
    rozmiar_pliku.SetCaption("size " + tag);
  }
  std::vector<std::string> Rows(Trejestralert& a) {
    return {a.sekcja_rejestru.Caption(), a.nazwa_klucza.Caption(), a.wartosc_klucza.Caption(),
            a.sciezka_pliku.Caption(), a.nazwa_pliku.Caption(), a.rozmiar_pliku.Caption()};
  }
};

TEST_F(RegistryAlert, IsAFixedCentredWindowWithoutTitleBarButtons) {
  Trejestralert alert(channel);
  EXPECT_EQ(alert.Name(), "rejestralert");
  EXPECT_EQ(alert.ClassName(), "Trejestralert");
  EXPECT_EQ(alert.Caption(), "Veltrane Alert!");
  EXPECT_EQ(alert.ClientWidth(), 448);
  EXPECT_EQ(alert.ClientHeight(), 257);
  EXPECT_EQ(alert.Border(), tk::BorderStyle::Single);
  EXPECT_EQ(alert.BorderIcons(), 0u);
  EXPECT_EQ(alert.Position(), tk::FormPosition::ScreenCenter);
  EXPECT_EQ(alert.Button1.Caption(), "Allow");
  EXPECT_EQ(alert.Button2.Caption(), "Delete");
  EXPECT_EQ(alert.zabron.Caption(), "Add this executable to the list of forbidden processes");
  EXPECT_FALSE(alert.zabron.Checked());
  // Everything inside the client area, the buttons at the bottom right in order.
  for (tk::Control* c : alert.Children()) {
    EXPECT_GE(c->Left(), 0) << c->Name();
    EXPECT_LE(c->Left() + c->Width(), 448) << c->Name();
    EXPECT_LE(c->Top() + c->Height(), 257) << c->Name();
  }
  EXPECT_LT(alert.Button1.Left(), alert.Button2.Left());
  EXPECT_GT(alert.Button1.Top(), alert.zabron.Top());
}

TEST_F(RegistryAlert, RowsShowTheChannelFromEachActivation) {
  Fill("1");
  Trejestralert alert(channel);
  EXPECT_EQ(Rows(alert), (std::vector<std::string>{"loading...", "loading...", "loading...", "loading...",
                                                    "loading...", "Not available..."}));
  alert.FormActivate();
  EXPECT_EQ(Rows(alert), (std::vector<std::string>{"section 1", "name 1", "value 1", "path 1", "exe 1",
                                                    "Not available..."}));
  Fill("2");
  EXPECT_EQ(alert.nazwa_klucza.Caption(), "name 1");
  alert.FormActivate();
  EXPECT_EQ(Rows(alert), (std::vector<std::string>{"section 2", "name 2", "value 2", "path 2", "exe 2",
                                                    "Not available..."}));
}

}  // namespace
