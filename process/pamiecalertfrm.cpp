#include "process/pamiecalertfrm.h"

#include "process/names.h"
#include "registry/dialog_look.h"
#include "registry/policy.h"
#include "toolkit/application.h"

namespace process {
namespace {

using registry::dialog::Verdana;

constexpr registry::dialog::Palette kPalette{tk::Rgb(0xF7, 0xA8, 0x51), tk::Rgb(0xFF, 0xFF, 0xFF),
                                             tk::Rgb(0xF2, 0x7E, 0x39), tk::Rgb(0xFE, 0xF3, 0xDE)};
constexpr tk::Color kWarningText = tk::Rgb(0xC4, 0x2D, 0x06);
constexpr tk::Color kNameText = tk::Rgb(0xFD, 0xED, 0xC8);
constexpr tk::Color kActionsText = tk::Rgb(0xFD, 0xFB, 0xC8);

}  // namespace

Tpamiecalert::Tpamiecalert(const std::string& path, bool forbidden_by_policy,
                           std::shared_ptr<registry::FactsRequest> facts)
    : tk::Form("pamiecalert", "Tpamiecalert"), forbidden_by_policy_(forbidden_by_policy), facts_(std::move(facts)) {
  BuildLayout();
  if (facts_) facts_->on_found = [this] { ShowFacts(); };
  ShowFacts();
  nazwa_pliku.SetCaption(std::string(FileNameOf(path)));
  sciezka_pliku.SetCaption(path);
  Button1.OnClick = [this] { Button1Click(); };
  Button2.OnClick = [this] { Button2Click(); };
}

Tpamiecalert::~Tpamiecalert() {
  if (facts_) facts_->on_found = nullptr;
}

void Tpamiecalert::ShowFacts() {
  const registry::ProgramFacts shown = facts_ ? facts_->facts : registry::ProgramFacts{};
  rozmiar_pliku.SetCaption(shown.size);
  firma.SetCaption(shown.company);
  podpis.SetCaption(shown.signature);
}

void Tpamiecalert::BuildLayout() {
  registry::dialog::Frame(*this, "Veltrane Alert!", kClientWidth, kClientHeight, kPalette);
  registry::dialog::Header(naglowek, "Forbidden memory resident alert!", 33, Verdana(10, true, tk::kDefaultColor),
                           kPalette);

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
  Label4.SetFont(Verdana(10, true, kPalette.text));
  Label4.SetCaption("DETAILS");

  registry::dialog::LayOutRows({{Label3, "Program name:", nazwa_pliku},
                                {Label6, "Program path:", sciezka_pliku},
                                {Label8, "Program size:", rozmiar_pliku},
                                {firma_tytul, "Company:", firma},
                                {podpis_tytul, "Signature:", podpis}},
                               {8, 96, 106, 320, 195, 18});
  Label3.SetFont(Verdana(8, true, kNameText));
  nazwa_pliku.SetFont(Verdana(8, true, kNameText));

  Label10.SetBounds(8, 295, 250, 17);
  Label10.SetFont(Verdana(10, true, kActionsText));
  Label10.SetCaption("AVAILABLE ACTIONS:");

  usun.SetBounds(8, 319, 320, 17);
  usun.SetCaption("Delete this program (NOT RECOMMENDED)");

  Button2.SetBounds(232, 361, 105, 27);
  Button2.SetCaption("Allow working");
  Button1.SetBounds(345, 361, 81, 27);
  Button1.SetCaption("Stop!");
}

registry::Decision Tpamiecalert::Ask() {
  decision_ = {};
  ShowModal();
  return decision_;
}

void Tpamiecalert::Button1Click() {
  decision_ = {registry::Answer::Stop, usun.Checked()};
  Close();
}

void Tpamiecalert::Button2Click() {
  if (forbidden_by_policy_) {
    tk::App().MessageBox(tk::MsgKind::Warning, std::string(registry::policy::kCannotAllow));
    return;
  }
  if (tk::App().MessageBox(tk::MsgKind::Warning,
                           "This item will be removed from the disallowed processes list. Are you sure?",
                           tk::MsgButtons::OkCancel) != tk::ModalResult::Ok)
    return;
  decision_ = {registry::Answer::Allow, false};
  Close();
}

}  // namespace process
