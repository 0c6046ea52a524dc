// Trejestralert: the registry alert. Shows one autostart entry that is not
// on the white list and returns the person's answer.
#pragma once
#include "registry/context.h"
#include "toolkit/control.h"
#include "toolkit/form.h"

namespace registry {

class Trejestralert : public tk::Form {
 public:
  static constexpr int kClientWidth = 448;
  static constexpr int kClientHeight = 293;

  explicit Trejestralert(const Question& question);
  ~Trejestralert() override;

  // Shows the alert modally until it is answered or closed: Allow, or
  // Delete confirmed with OK, with the box "Add this executable to the list
  // of forbidden processes"; Unanswered when it was closed without one.
  Decision Ask();

 private:
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
  tk::Label firma_tytul{this, "firma_tytul"};
  tk::Label firma{this, "firma"};
  tk::Label podpis_tytul{this, "podpis_tytul"};
  tk::Label podpis{this, "podpis"};
  tk::CheckBox zabron{this, "zabron"};
  tk::Button Button1{this, "Button1"};
  tk::Button Button2{this, "Button2"};

  void BuildLayout();
  void Answered(Answer answer);
  Decision decision_;
  std::string confirmation_;
  // The program's facts, shown as they are found.
  void ShowFacts();
  std::shared_ptr<FactsRequest> facts_;
};

}  // namespace registry
