// Trejestralert: the registry alert. Shows the autostart entry the scan put
// in the hand-off channel and writes the user's answer back into it.
#pragma once
#include "registry/handoff.h"
#include "toolkit/control.h"
#include "toolkit/form.h"

namespace registry {

class Trejestralert : public tk::Form {
 public:
  static constexpr int kClientWidth = 448;
  static constexpr int kClientHeight = 257;

  explicit Trejestralert(HandOffChannel& channel);

  void FormActivate();
  void Button1Click();  // "Allow"
  void Button2Click();  // "Delete"

  tk::Panel naglowek{this, "naglowek"};
  tk::Label opis{this, "opis"};
  tk::Label szczegoly{this, "szczegoly"};
  tk::Label sekcja_rejestru_tytul{this, "sekcja_rejestru_tytul"};
  tk::Label sekcja_rejestru{this, "sekcja_rejestru"};
  tk::Label nazwa_klucza_tytul{this, "nazwa_klucza_tytul"};
  tk::Label nazwa_klucza{this, "nazwa_klucza"};
  tk::Label wartosc_klucza_tytul{this, "wartosc_klucza_tytul"};
  tk::Label wartosc_klucza{this, "wartosc_klucza"};
  tk::Label sciezka_pliku_tytul{this, "sciezka_pliku_tytul"};
  tk::Label sciezka_pliku{this, "sciezka_pliku"};
  tk::Label nazwa_pliku_tytul{this, "nazwa_pliku_tytul"};
  tk::Label nazwa_pliku{this, "nazwa_pliku"};
  tk::Label rozmiar_pliku_tytul{this, "rozmiar_pliku_tytul"};
  tk::Label rozmiar_pliku{this, "rozmiar_pliku"};
  tk::CheckBox zabron{this, "zabron"};
  tk::Button Button1{this, "Button1"};
  tk::Button Button2{this, "Button2"};

 private:
  void BuildLayout();
  HandOffChannel& channel_;
};

}  // namespace registry
