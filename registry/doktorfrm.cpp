#include "registry/doktorfrm.h"

#include <vector>

#include "registry/dialog_look.h"
#include "toolkit/application.h"

namespace registry {

namespace {
constexpr dialog::Palette kPalette{tk::Rgb(0xFE, 0xFF, 0xF0), tk::Rgb(0x22, 0x5B, 0x86), tk::Rgb(0x22, 0x5B, 0x86),
                                   tk::Rgb(0xFC, 0xF7, 0xCF)};
}  // namespace

std::optional<std::string> Dequote(std::string_view text) {
  if (text.empty() || text.front() != '"') return std::nullopt;
  std::string inner;
  size_t i = 1;
  for (;;) {
    if (i >= text.size()) return std::nullopt;  // never closed
    if (text[i] == '"') {
      if (i + 1 < text.size() && text[i + 1] == '"') {
        inner += '"';
        i += 2;
        continue;
      }
      break;
    }
    inner += text[i++];
  }
  // Arguments after the closing quote would be cut off.
  if (i + 1 != text.size()) return std::nullopt;
  if (inner.empty() || inner.find_first_of(" \t") != std::string::npos) return std::nullopt;
  return inner;
}

// The machine's keys, then the user's, run-once before run.
const Tdoktor::RepairKey Tdoktor::kRepairKeys[4] = {
    {kScanKeys[0], &Tdoktor::postep},
    {kScanKeys[1], &Tdoktor::postep2},
    {kScanKeys[3], &Tdoktor::postep3},
    {kScanKeys[2], &Tdoktor::postep4},
};

Tdoktor::Tdoktor(platform::Registry& registry) : tk::Form("doktor", "Tdoktor"), registry_(registry) {
  BuildLayout();
  OnActivate = [this] { FormActivate(); };
  Timer1.SetOnTimer([this] { Timer1Timer(); });
}

void Tdoktor::BuildLayout() {
  dialog::Frame(*this, "Veltrane - registry doctor", kClientWidth, kClientHeight, kPalette);
  dialog::Header(naglowek, "Registry Doctor", 26, tk::Font{"Tahoma", 10, true}, kPalette);

  opis.SetBounds(8, 32, kClientWidth - 16, 54);
  opis.SetWordWrap(true);
  opis.SetCaption(
      "Program is now correcting damaged parts of the registry. Please wait...\r\n\r\n"
      "DO NOT stop or interrupt this process!");

  postep_tytul.SetBounds(8, 90, 120, 14);
  postep_tytul.SetCaption("Progress:");

  int top = 106;
  for (const RepairKey& repair : kRepairKeys) {
    (this->*repair.bar).SetBounds(8, top, kClientWidth - 16, 14);
    top += 19;
  }
}

void Tdoktor::FormActivate() {
  for (const RepairKey& repair : kRepairKeys) RepairAutorunKey(repair);
  // Activated again before it closed: the closing time stays where it was.
  if (!Timer1.Enabled()) Timer1.SetEnabled(true);
}

void Tdoktor::Timer1Timer() {
  Timer1.SetEnabled(false);
  Close();
}

void Tdoktor::RepairAutorunKey(const RepairKey& repair) {
  tk::ProgressBar& bar = this->*repair.bar;
  // Once the program is ending, one message about the registry is enough.
  if (tk::App().Terminated()) return;
  // On 64-bit Windows the machine's keys have a 32-bit view of their own,
  // repaired after the native one on the same bar. Each is read first, and
  // opened for writing only when a value in it is to change.
  struct Opened {
    platform::RegView view;
    AutorunKey key;
    std::vector<std::string> names;
  };
  const ScanKey& k = repair.key;
  std::vector<Opened> opened;
  int count = 0;
  for (const KeyView& view : ViewsOf(k, registry_)) {
    Opened& o = opened.emplace_back(Opened{view.view, OpenAutorunKey(registry_, k.root, k.path, view.view), {}});
    if (o.key.status == KeyOpen::Refused) Refused(KeyText(k.root, k.path, view.view), Refusal::Read);
    // Not a refusal, and not missing: the registry itself is broken.
    if (o.key.status == KeyOpen::Failed && view.view == platform::RegView::Native) {
      tk::App().MessageBox(tk::MsgKind::Error, std::string(kRegistryCorrupted), tk::MsgButtons::Ok);
      tk::App().Terminate();
    }
    if (tk::App().Terminated()) return;
    if (o.key.key) o.names = o.key.key->ValueNames();
    count += int(o.names.size());
  }

  bar.SetMax(count >= 2 ? count - 1 : 0);
  int i = 0;
  for (Opened& o : opened) {
    std::unique_ptr<platform::RegistryKey> writable;
    for (const std::string& name : o.names) {
      bar.SetPosition(i++);
      std::optional<platform::RegValue> value = o.key.key->Read(name);
      // Numbers and raw bytes are no commands: left alone.
      if (!value || !value->IsText()) continue;
      std::string data = value->data.substr(0, value->data.find('\0'));
      if (data.find(" -") != std::string::npos) continue;
      std::optional<std::string> bare = Dequote(data);
      if (!bare) continue;
      if (!writable) writable = OpenAutorunKey(registry_, k.root, k.path, o.view, platform::Access::ReadWrite).key;
      // Written back with its own type, so that %SystemRoot% and the like
      // still expand. A key that cannot be changed is left as it is.
      if (!writable || !writable->WriteText(name, *bare, platform::ValueType(value->type))) {
        Refused(KeyText(k.root, k.path, o.view), Refusal::Change);
        break;
      }
    }
    if (tk::App().Terminated()) return;
  }
}

void Tdoktor::Refused(const std::string& key_text, Refusal refusal) {
  if (OnRefused) OnRefused(key_text, refusal);
}

}  // namespace registry
