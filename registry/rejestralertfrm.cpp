#include "registry/rejestralertfrm.h"

#include "toolkit/application.h"

namespace registry {

namespace {
constexpr tk::Color kBackground = tk::Rgb(0xFF, 0xFF, 0xF7);
constexpr tk::Color kHeader = tk::Rgb(0x97, 0x17, 0x17);
constexpr tk::Color kHeaderText = tk::Rgb(0xFF, 0xEA, 0xE8);
constexpr tk::Color kText = tk::Rgb(0x21, 0x31, 0x72);

constexpr int kMargin = 8;
constexpr int kRowTop = 90;
constexpr int kRowHeight = 18;
constexpr int kCaptionWidth = 118;
constexpr int kValueLeft = kMargin + kCaptionWidth + 4;
}  // namespace

Trejestralert::Trejestralert(HandOffChannel& channel)
    : tk::Form("rejestralert", "Trejestralert"), channel_(channel) {
  BuildLayout();
  OnActivate = [this] { FormActivate(); };
  Button1.OnClick = [this] { Button1Click(); };
  Button2.OnClick = [this] { Button2Click(); };
}

void Trejestralert::BuildLayout() {
  SetFixedDialog("Veltrane Alert!", kClientWidth, kClientHeight);
  SetColor(kBackground);
  SetFont(tk::Font{"Verdana", 8, false, kText});

  naglowek.SetBounds(0, 0, kClientWidth, 30);
  naglowek.SetColor(kHeader);
  naglowek.SetFont(tk::Font{"Tahoma", 10, true, kHeaderText});
  naglowek.SetCaption("Registry modification alert!");

  opis.SetBounds(kMargin, 38, kClientWidth - 2 * kMargin, 28);
  opis.SetWordWrap(true);
  opis.SetCaption(
      "Registry's autorun section was modified since last system check. You need to decide what to do with "
      "this new entry.");

  szczegoly.SetBounds(kMargin, 71, 200, 14);
  szczegoly.SetFont(tk::Font{"Verdana", 8, true, kText});
  szczegoly.SetCaption("DETAILS:");

  struct Row {
    tk::Label& caption_label;
    const char* caption;
    tk::Label& value_label;
  };
  const Row rows[] = {
      {sekcja_rejestru_tytul, "Registry section:", sekcja_rejestru},
      {nazwa_klucza_tytul, "Value name:", nazwa_klucza},
      {wartosc_klucza_tytul, "Value:", wartosc_klucza},
      {sciezka_pliku_tytul, "Executable path:", sciezka_pliku},
      {nazwa_pliku_tytul, "Exec name:", nazwa_pliku},
      {rozmiar_pliku_tytul, "Executable size:", rozmiar_pliku},
  };
  int top = kRowTop;
  for (const Row& row : rows) {
    row.caption_label.SetBounds(kMargin + 8, top, kCaptionWidth - 8, 14);
    row.caption_label.SetCaption(row.caption);
    // Fixed width, no wrapping: a long command line is clipped, not spilled.
    row.value_label.SetBounds(kValueLeft, top, kClientWidth - kValueLeft - kMargin, 14);
    row.value_label.SetFont(tk::Font{"Verdana", 8, true, kText});
    row.value_label.SetCaption("loading...");
    top += kRowHeight;
  }
  // Nothing measures the file; the row says so from the start.
  rozmiar_pliku.SetCaption("Not available...");

  zabron.SetBounds(kMargin, 201, kClientWidth - 2 * kMargin, 17);
  zabron.SetCaption("Add this executable to the list of forbidden processes");
  zabron.SetChecked(false);

  Button1.SetBounds(kClientWidth - kMargin - 2 * 80 - 6, 224, 80, 25);
  Button1.SetCaption("Allow");
  Button2.SetBounds(kClientWidth - kMargin - 80, 224, 80, 25);
  Button2.SetCaption("Delete");
}

void Trejestralert::FormActivate() {
  sekcja_rejestru.SetCaption(channel_.sekcja_rejestru.Caption());
  nazwa_klucza.SetCaption(channel_.nazwa_klucza.Caption());
  wartosc_klucza.SetCaption(channel_.wartosc_klucza.Caption());
  nazwa_pliku.SetCaption(channel_.nazwa_pliku.Caption());
  sciezka_pliku.SetCaption(channel_.sciezka_pliku.Caption());
}

void Trejestralert::Button1Click() {
  channel_.kontakt.SetCaption("allow");
  channel_.zabron.SetChecked(zabron.Checked());
  Close();
}

void Trejestralert::Button2Click() {
  tk::ModalResult answer = tk::App().MessageBox(
      tk::MsgKind::Warning, "Are you sure that you want to remove this registry entry?", tk::MsgButtons::OkCancel);
  // Cancel does not return to the dialog: it lets the entry stay, allowed.
  channel_.kontakt.SetCaption(answer == tk::ModalResult::Ok ? "delete" : "allow");
  channel_.zabron.SetChecked(zabron.Checked());
  Close();
}

}  // namespace registry
