#include "process/pamiecalertfrm.h"

#include "process/names.h"
#include "toolkit/application.h"

namespace process {
namespace {

constexpr tk::Color kBackground = tk::Rgb(0xF7, 0xA8, 0x51);
constexpr tk::Color kWhite = tk::Rgb(0xFF, 0xFF, 0xFF);
constexpr tk::Color kHeader = tk::Rgb(0xF2, 0x7E, 0x39);
constexpr tk::Color kHeaderText = tk::Rgb(0xFE, 0xF3, 0xDE);
constexpr tk::Color kWarningText = tk::Rgb(0xC4, 0x2D, 0x06);
constexpr tk::Color kNameText = tk::Rgb(0xFD, 0xED, 0xC8);
constexpr tk::Color kActionsText = tk::Rgb(0xFD, 0xFB, 0xC8);

tk::Font Verdana(int size, bool bold, tk::Color color) { return tk::Font{"Verdana", size, bold, color}; }

}  // namespace

Tpamiecalert::Tpamiecalert(registry::HandOffChannel& channel)
    : tk::Form("pamiecalert", "Tpamiecalert"), channel_(channel) {
  BuildLayout();
  Button1.OnClick = [this] { Button1Click(); };
  Button2.OnClick = [this] { Button2Click(); };
  FormCreate();
}

Tpamiecalert::Tpamiecalert(registry::HandOffChannel& channel, const std::string& path) : Tpamiecalert(channel) {
  nazwa_pliku.SetCaption(std::string(FileNameOf(path)));
  sciezka_pliku.SetCaption(path);
}

void Tpamiecalert::BuildLayout() {
  SetFixedDialog("Veltrane Alert!", kClientWidth, kClientHeight);
  SetColor(kBackground);
  SetFont(Verdana(8, false, kWhite));

  naglowek.SetBounds(0, 0, kClientWidth, 33);
  naglowek.SetColor(kHeader);
  naglowek.SetFont(Verdana(10, true, kHeaderText));
  naglowek.SetCaption("Forbidden memory resident alert!");

  Label1.SetBounds(8, 41, 418, 26);
  Label1.SetCaption(
      "Windows has started a prograrm that you don't allow to run. You need\r\n"
      "to decide what to do.");

  Label2.SetBounds(8, 73, 418, 91);
  Label2.SetFont(Verdana(8, true, kWarningText));
  Label2.SetCaption(
      "If you decide to delete the program please make sure you know\r\n"
      "what you are doing. If you remove a program that is necessary\r\n"
      "for system, Windows may stop working and will be unable to\r\n"
      "startup normally. If this happens will need to reinstall Windows\r\n"
      "from CD-ROM !!!\r\n"
      "\r\n"
      "Don't remove anything unless you are an experienced user.");

  Label4.SetBounds(8, 172, 200, 17);
  Label4.SetFont(Verdana(10, true, kWhite));
  Label4.SetCaption("DETAILS");

  // Caption and value rows; a value label clips what does not fit.
  struct Row {
    tk::Label& caption;
    tk::Label& value;
    const char* text;
    int top;
  };
  for (const Row& r : {Row{Label3, nazwa_pliku, "Program name:", 195},
                       Row{Label6, sciezka_pliku, "Program path:", 213},
                       Row{Label8, rozmiar_pliku, "Program size:", 231}}) {
    r.caption.SetBounds(8, r.top, 96, 14);
    r.caption.SetCaption(r.text);
    r.value.SetBounds(106, r.top, 320, 14);
    r.value.SetCaption("Loading...");
  }
  Label3.SetFont(Verdana(8, true, kNameText));
  nazwa_pliku.SetFont(Verdana(8, true, kNameText));

  Label10.SetBounds(8, 259, 250, 17);
  Label10.SetFont(Verdana(10, true, kActionsText));
  Label10.SetCaption("AVAILABLE ACTIONS:");

  usun.SetBounds(8, 283, 320, 17);
  usun.SetCaption("Delete this program (NOT RECOMMENDED)");

  Button2.SetBounds(232, 325, 105, 27);
  Button2.SetCaption("Allow working");
  Button1.SetBounds(345, 325, 81, 27);
  Button1.SetCaption("Stop!");
}

void Tpamiecalert::FormCreate() {
  nazwa_pliku.SetCaption(channel_.nazwa_pliku.Caption());
  sciezka_pliku.SetCaption(channel_.sciezka_pliku.Caption());
}

void Tpamiecalert::Button1Click() {
  channel_.usun.SetChecked(usun.Checked());
  channel_.kontakt.SetCaption("stop");
  Close();
}

void Tpamiecalert::Button2Click() {
  if (tk::App().MessageBox(tk::MsgKind::Warning,
                           "This item will be removed from the disallowed processes list. Are you sure?",
                           tk::MsgButtons::OkCancel) != tk::ModalResult::Ok)
    return;
  channel_.kontakt.SetCaption("allow");
  Close();
}

}  // namespace process
