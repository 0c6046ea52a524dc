// The whole program with autostart entries to guard: a configured user (no
// first-run boxes), the white and black lists to seed and read, and a script
// that answers the registry alerts as a user would.
#pragma once
#include <chrono>
#include <deque>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/child.h"
#include "registry/data_files.h"
#include "registry/rejestralertfrm.h"
#include "tests/scenario/program.h"
#include "tests/support/data_paths.h"

namespace scenario {

constexpr const char* kRun = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char* kRunOnce = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce";

class RegistryProgram : public Program {
 public:
  // What the user does with one alert.
  enum class Reply {
    Allow,
    AllowTicked,    // ticks the black-list box, then "Allow"
    Delete,         // "Delete", confirmed with OK
    DeleteTicked,   // ticks the box, "Delete", OK
    DeleteCancel,   // ticks the box, "Delete", then Cancel
    CloseBox,       // closes the window without answering
  };
  struct Shown {
    std::string section, name, value, path, exe, size;
    int modal_depth;
    std::string header = {};
  };

 protected:
  // settings: lines of section [glowna], e.g. "auto_skan_rejestru=1".
  void Configure(const std::string& glowna, const std::string& skan = "skanuj_rejestr=1") {
    WriteFile(registry::ConfigPath("C:\\Windows", kUser),
              "[glowna]\r\nskonfigurowany=1\r\n" + glowna + "\r\n[skan]\r\n" + skan + "\r\n");
  }
  // Starts with the scan at start-up on, answering alerts from the script.
  app::Tvelmain& StartScanning(std::initializer_list<Reply> replies) {
    Configure("auto_skan_rejestru=1");
    AnswerAlerts(replies);
    return StartAnswering();
  }
  app::Tvelmain& StartAnswering() {
    backend.modal_answerer = [this](tk::Form& form) { return Answer(form); };
    return Start();
  }
  // Each reply is used once, in order; with none left an alert is closed
  // unanswered.
  void AnswerAlerts(std::initializer_list<Reply> replies) { replies_.insert(replies_.end(), replies); }

  void Reg(const std::string& text) { sys.registry.LoadRegText("REGEDIT4\n" + text); }
  std::optional<platform::RegValue> Value(platform::RootKey root, const char* path, const std::string& name) {
    return sys.registry.Get(root, path, name);
  }
  bool HasValue(const std::string& name) {
    return Value(platform::RootKey::LocalMachine, kRun, name).has_value();
  }

  // The slot's key, or "err" when it is free.
  std::string Slot(const char* file, int n, const char* key) {
    registry::IniStore store(sys.files, file);
    return registry::ReadSlot(store, n, key).value_or("err");
  }
  std::string WhiteSlot(int n, const char* key = "wartosc") { return Slot(testing_support::kWhiteListPath, n, key); }
  void SetWhiteSlot(int n, const std::string& text) {
    {
      registry::IniStore store(sys.files, testing_support::kWhiteListPath);
      registry::WriteSlot(store, n, {{"wartosc", text}});
    }
    ListChanged();
  }
  void WriteList(const char* path, const std::string& bytes) {
    WriteFile(path, bytes);
    ListChanged();
  }
  // The Windows build of the test platform stamps files to the second, so
  // the program could take a list rewritten behind its back within the same
  // second at the same size for unchanged: the lists' time moves on.
  void ListChanged() {
    static auto stamp = std::filesystem::file_time_type::clock::now();
    for (const char* path : {testing_support::kWhiteListPath, testing_support::kBlackListPath}) {
      if (!sys.files.Exists(path)) continue;
      stamp += std::chrono::seconds(2);
      std::filesystem::last_write_time(*sys.files.HostPath(path), stamp);
    }
  }
  // Slots first..last of the white list in use, each with its own text.
  void FillWhiteList(int first, int last, const std::string& text_prefix = "C:\\filler\\") {
    std::string file;
    for (int n = first; n <= last; ++n)
      file += "[" + std::to_string(n) + "]\r\nwartosc=" + text_prefix + std::to_string(n) + ".exe\r\n";
    WriteList(testing_support::kWhiteListPath, file);
  }

  std::vector<std::string> Boxes() { return backend.BoxTexts(); }
  int Alerts() const { return int(shown.size()); }

  std::vector<Shown> shown;  // one per alert, as it came up
  // Run with the first idle moment of each alert, before it is answered.
  std::function<void(registry::Trejestralert&)> on_alert;
  // Each alert's rows are read once its program's facts have reached it.
  bool wait_for_facts = true;

 private:
  bool Answer(tk::Form& form) {
    auto* alert = dynamic_cast<registry::Trejestralert*>(&form);
    if (!alert) return false;
    if (backend.ModalForms().size() != alerts_seen_) {  // a fresh alert: its facts found first
      alerts_seen_ = backend.ModalForms().size();
      if (wait_for_facts) velmain->protection().facts_finder.Wait(5000);
      settling_ = true;
      return true;
    }
    if (settling_) {
      settling_ = false;
      shown.push_back({Child<tk::Label>(*alert, "sekcja_rejestru").Caption(), Child<tk::Label>(*alert, "nazwa_klucza").Caption(),
                       Child<tk::Label>(*alert, "wartosc_klucza").Caption(), Child<tk::Label>(*alert, "sciezka_pliku").Caption(),
                       Child<tk::Label>(*alert, "nazwa_pliku").Caption(), Child<tk::Label>(*alert, "rozmiar_pliku").Caption(), app.ModalDepth(),
                       Child<tk::Panel>(*alert, "naglowek").Caption()});
      if (on_alert) on_alert(*alert);
    }
    if (replies_.empty()) return false;  // left unanswered: closed by the backend
    const Reply reply = replies_.front();
    replies_.pop_front();
    switch (reply) {
      case Reply::Allow: backend.Click(Child<tk::Button>(*alert, "Button1")); break;
      case Reply::AllowTicked:
        backend.Click(Child<tk::CheckBox>(*alert, "zabron"));
        backend.Click(Child<tk::Button>(*alert, "Button1"));
        break;
      case Reply::Delete: backend.AnswerBoxes({tk::ModalResult::Ok}); backend.Click(Child<tk::Button>(*alert, "Button2")); break;
      case Reply::DeleteTicked:
        backend.Click(Child<tk::CheckBox>(*alert, "zabron"));
        backend.AnswerBoxes({tk::ModalResult::Ok});
        backend.Click(Child<tk::Button>(*alert, "Button2"));
        break;
      case Reply::DeleteCancel:
        backend.Click(Child<tk::CheckBox>(*alert, "zabron"));
        backend.AnswerBoxes({tk::ModalResult::Cancel});
        backend.Click(Child<tk::Button>(*alert, "Button2"));
        break;
      case Reply::CloseBox: backend.CloseBox(*alert); break;
    }
    return true;
  }

  std::deque<Reply> replies_;
  size_t alerts_seen_ = 0;
  bool settling_ = false;  // a fresh alert, once its facts have reached it
};

}  // namespace scenario
