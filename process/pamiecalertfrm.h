// Tpamiecalert: the forbidden-process alert. Names a black-listed program
// that is running and lets the person stop it or let it work.
#pragma once
#include <memory>
#include <string>
#include "components/propanel.h"
#include "registry/context.h"
#include "toolkit/control.h"
#include "toolkit/form.h"

namespace process {

class Tpamiecalert : public tk::Form {
 public:
  static constexpr int kClientWidth = 434;
  static constexpr int kClientHeight = 398;

  // The alert about the program at path; "Allow working" refuses one that
  // the administrator's policy forbids, and the alert waits on. The facts
  // of the program are shown as they are found.
  Tpamiecalert(const std::string& path, bool forbidden_by_policy,
               std::shared_ptr<registry::FactsRequest> facts = nullptr);
  ~Tpamiecalert() override;

  // Shows the alert modally until it is answered or closed: Stop, with the
  // box "Delete this program", or Allow; Unanswered when it was closed
  // without an answer.
  registry::Decision Ask();

 private:
  void Button1Click();  // "Stop!"
  void Button2Click();  // "Allow working"

  components::TProPanel naglowek{this, "naglowek"};
  tk::Label Label1{this, "Label1"};
  tk::Label Label2{this, "Label2"};
  tk::Label Label4{this, "Label4"};
  tk::Label Label3{this, "Label3"};
  tk::Label nazwa_pliku{this, "nazwa_pliku"};
  tk::Label Label6{this, "Label6"};
  tk::Label sciezka_pliku{this, "sciezka_pliku"};
  tk::Label Label8{this, "Label8"};
  tk::Label rozmiar_pliku{this, "rozmiar_pliku"};
  tk::Label firma_tytul{this, "firma_tytul"};
  tk::Label firma{this, "firma"};
  tk::Label podpis_tytul{this, "podpis_tytul"};
  tk::Label podpis{this, "podpis"};
  tk::Label Label10{this, "Label10"};
  tk::CheckBox usun{this, "usun"};
  tk::Button Button2{this, "Button2"};
  tk::Button Button1{this, "Button1"};

  void BuildLayout();
  void ShowFacts();
  const bool forbidden_by_policy_;
  std::shared_ptr<registry::FactsRequest> facts_;
  registry::Decision decision_;
};

}  // namespace process
