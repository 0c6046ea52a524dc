// The whole program with processes to guard: a configured user (no first-run
// boxes), black-list and trashcan files to seed and read, and a script that
// answers the forbidden-process alerts.
#pragma once
#include <algorithm>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/child.h"
#include "process/pamiecalertfrm.h"
#include "registry/data_files.h"
#include "tests/scenario/program.h"
#include "tests/support/data_paths.h"

namespace scenario {

constexpr const char* kTrash = "C:\\Program Files\\Quorvik\\Veltrane\\Trashcan\\";

class ProcessProgram : public Program {
 public:
  // What the user does in an alert, one step per time it waits for input.
  enum class Step { Tick, Stop, Allow };

 protected:
  struct Shown {
    std::string name, path, size;
  };

  app::Tvelmain& StartConfigured() {
    WriteFile(registry::ConfigPath("C:\\Windows", kUser), "[glowna]\r\nskonfigurowany=1\r\n");
    app::Tvelmain& w = Start();
    backend.ClearBoxes();
    backend.modal_answerer = [this](tk::Form& form) { return Answer(form); };
    return w;
  }

  // Each step is taken once; with none left an alert is closed unanswered.
  void AnswerAlerts(std::initializer_list<Step> steps) { steps_.insert(steps_.end(), steps); }
  std::vector<Shown> shown;  // one per answered alert, as it came up
  std::function<void()> while_asked;  // runs as each answered alert comes up
  long Alerts() const {
    const auto& forms = backend.ModalForms();
    return std::count(forms.begin(), forms.end(), "pamiecalert");
  }

  std::string Slot(const char* file, int n) {
    registry::IniStore store(sys.files, file);
    return registry::ReadSlot(store, n, "sciezka").value_or("err");
  }
  void SetSlot(const char* file, int n, const std::string& text) {
    registry::IniStore store(sys.files, file);
    registry::WriteSlot(store, n, {{"sciezka", text}});
  }
  void MakeFile(const std::string& path) {
    std::filesystem::create_directories(sys.files.HostPath(path)->parent_path());
    WriteFile(path, "MZ");
  }
  bool FileThere(const std::string& path) { return sys.files.Exists(path); }

  // Picks a line of a page's list and presses a button there, as a user does.
  void Press(tk::Page& page, tk::ListBox& list, tk::Button& button, const std::string& line = {}) {
    Find<tk::PageBook>("silnik").ShowPage(page);
    const auto& items = list.Items();
    auto it = std::find(items.begin(), items.end(), line);
    if (!line.empty()) {
      ASSERT_NE(it, items.end()) << line;
      ASSERT_TRUE(backend.Select(list, int(it - items.begin())));
    }
    ASSERT_TRUE(backend.Click(button));
    backend.RunUntilIdle();
  }

 private:
  bool Answer(tk::Form& form) {
    auto* alert = dynamic_cast<process::Tpamiecalert*>(&form);
    if (!alert || steps_.empty()) return false;
    if (backend.ModalForms().size() != alerts_seen_) {  // a fresh alert: its facts found first
      alerts_seen_ = backend.ModalForms().size();
      velmain->protection().facts_finder.Wait(5000);
      settling_ = true;
      return true;
    }
    if (settling_) {
      settling_ = false;
      shown.push_back({Child<tk::Label>(*alert, "nazwa_pliku").Caption(), Child<tk::Label>(*alert, "sciezka_pliku").Caption(), Child<tk::Label>(*alert, "rozmiar_pliku").Caption()});
      if (while_asked) while_asked();
    }
    Step step = steps_.front();
    steps_.pop_front();
    switch (step) {
      case Step::Tick: backend.Click(Child<tk::CheckBox>(*alert, "usun")); break;
      case Step::Stop: backend.Click(Child<tk::Button>(*alert, "Button1")); break;
      case Step::Allow: backend.Click(Child<tk::Button>(*alert, "Button2")); break;
    }
    return true;
  }
  std::deque<Step> steps_;
  size_t alerts_seen_ = 0;
  bool settling_ = false;  // a fresh alert, once its facts have reached it
};

}  // namespace scenario
