#include "registry/rejestralertfrm.h"

#include "registry/dialog_look.h"
#include "toolkit/application.h"

namespace registry {

namespace {
constexpr dialog::Palette kPalette{tk::Rgb(0xFF, 0xFF, 0xF7), tk::Rgb(0x21, 0x31, 0x72), tk::Rgb(0x97, 0x17, 0x17),
                                   tk::Rgb(0xFF, 0xEA, 0xE8)};
constexpr int kMargin = 8;
constexpr int kCaptionWidth = 118;
constexpr int kValueLeft = kMargin + kCaptionWidth + 4;
}  // namespace

Trejestralert::Trejestralert(const Question& question) : tk::Form("rejestralert", "Trejestralert") {
  BuildLayout();
  sekcja_rejestru.SetCaption(question.sekcja_rejestru);
  nazwa_klucza.SetCaption(question.nazwa_klucza);
  wartosc_klucza.SetCaption(question.wartosc_klucza);
  sciezka_pliku.SetCaption(question.sciezka_pliku);
  nazwa_pliku.SetCaption(question.nazwa_pliku);
  if (question.program_changed) {
    naglowek.SetCaption("Allowed program changed!");
    opis.SetCaption(
        "The program of an autostart entry that you allowed has changed since you allowed it. You need to decide "
        "what to do with it now.");
  }
  confirmation_ = question.confirmation;
  facts_ = question.facts;
  if (facts_) facts_->on_found = [this] { ShowFacts(); };
  ShowFacts();
  Button1.OnClick = [this] { Button1Click(); };
  Button2.OnClick = [this] { Button2Click(); };
}

Trejestralert::~Trejestralert() {
  if (facts_) facts_->on_found = nullptr;
}

void Trejestralert::ShowFacts() {
  const ProgramFacts shown = facts_ ? facts_->facts : ProgramFacts{};
  rozmiar_pliku.SetCaption(shown.size);
  firma.SetCaption(shown.company);
  podpis.SetCaption(shown.signature);
}

void Trejestralert::BuildLayout() {
  dialog::Frame(*this, "Veltrane Alert!", kClientWidth, kClientHeight, kPalette);
  dialog::Header(naglowek, "Registry modification alert!", 30, tk::Font{"Tahoma", 10, true}, kPalette);

  opis.SetBounds(kMargin, 38, kClientWidth - 2 * kMargin, 28);
  opis.SetWordWrap(true);
  opis.SetCaption(
      "Registry's autorun section was modified since last system check. You need to decide what to do with "
      "this new entry.");

  szczegoly.SetBounds(kMargin, 71, 200, 14);
  szczegoly.SetFont(dialog::Verdana(8, true, kPalette.text));
  szczegoly.SetCaption("DETAILS:");

  dialog::LayOutRows({{sekcja_rejestru_tytul, "Registry section:", sekcja_rejestru},
                      {nazwa_klucza_tytul, "Value name:", nazwa_klucza},
                      {wartosc_klucza_tytul, "Value:", wartosc_klucza},
                      {sciezka_pliku_tytul, "Executable path:", sciezka_pliku},
                      {nazwa_pliku_tytul, "Exec name:", nazwa_pliku},
                      {rozmiar_pliku_tytul, "Executable size:", rozmiar_pliku},
                      {firma_tytul, "Company:", firma},
                      {podpis_tytul, "Signature:", podpis}},
                     {kMargin + 8, kCaptionWidth - 8, kValueLeft, kClientWidth - kValueLeft - kMargin, 90, 18});
  for (tk::Label* value : {&sekcja_rejestru, &nazwa_klucza, &wartosc_klucza, &sciezka_pliku, &nazwa_pliku,
                           &rozmiar_pliku, &firma, &podpis})
    value->SetFont(dialog::Verdana(8, true, kPalette.text));

  zabron.SetBounds(kMargin, 237, kClientWidth - 2 * kMargin, 17);
  zabron.SetCaption("Add this executable to the list of forbidden processes");

  Button1.SetBounds(kClientWidth - kMargin - 2 * 80 - 6, 260, 80, 25);
  Button1.SetCaption("Allow");
  Button2.SetBounds(kClientWidth - kMargin - 80, 260, 80, 25);
  Button2.SetCaption("Delete");
}

Decision Trejestralert::Ask() {
  decision_ = {};
  ShowModal();
  return decision_;
}

void Trejestralert::Answered(Answer answer) {
  decision_ = {answer, zabron.Checked()};
  Close();
}

void Trejestralert::Button1Click() { Answered(Answer::Allow); }

void Trejestralert::Button2Click() {
  // Cancel takes the person back to the alert: nothing is decided yet.
  if (tk::App().MessageBox(tk::MsgKind::Warning, confirmation_, tk::MsgButtons::OkCancel) == tk::ModalResult::Ok)
    Answered(Answer::Delete);
}

}  // namespace registry
