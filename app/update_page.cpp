// Page update: the check against the update site's list, the download of
// the archive through get_file, and the hand-over that shows the archive and
// ends the program.
#include "app/look.h"
#include "app/pages.h"
#include "app/velmainfrm.h"
#include "registry/data_files.h"
#include "toolkit/application.h"
#include "update/update_list.h"

namespace app {

using namespace look;

namespace {
constexpr tk::Color kUpdateBack = Rgb(0xF0, 0x91, 0x8E), kUpdateText = Rgb(0xFF, 0xF1, 0xF0),
                    kUpdateTitleBack = Rgb(0x97, 0x17, 0x17), kUpdateTitleText = Rgb(0xFF, 0xEA, 0xE8);
}  // namespace

UpdatePage::UpdatePage(tk::PageBook& book, Tvelmain& w)
    : tk::Page(&book, "update"), w_(w), get_file(w.platform.network, w.platform.files) {
  const int width = kBookWidth;
  Place(*this, 0, 0, width, kBookHeight);
  Bar(update_panel, 0, 0, width, kBookHeight, kUpdateBack, Verdana(kUpdateText));
  Title(update_tytul, "Program Update", kUpdateTitleBack, Verdana(kUpdateTitleText, true));
  Place(Label13, 10, 28, width - 20, 56,
        "From this page you can update Veltrane to the new version (if any is available). Just click on the "
        "\"Search for updates\" button. Program will ask for your premisson before downloading the new version.");
  Label13.SetWordWrap(true);
  Place(Label14, 10, 92, width - 20, 14, "UPDATE DETAILS:");
  const std::pair<tk::Label*, tk::Label*> details[] = {
      {&Label15, &updwersja}, {&Label16, &updrozmiar}, {&Label17, &updrelease}};
  const char* detail_captions[] = {"Update to version:", "File size:", "File released:"};
  int y = 112;
  for (int i = 0; i < 3; ++i) {
    Place(*details[i].first, 20, y, 125, 14, detail_captions[i]);
    Place(*details[i].second, 150, y, width - 160, 14, "n/a");
    y += 18;
  }
  Place(Label18, 10, 174, width - 20, 14, "This update needs an active internet connection.");
  Place(Label19, 10, 200, width - 20, 14, "Update progress:");
  Place(sciaganie, 10, 218, width - 20, 18);
  Place(downloadbtn, width - 10 - 110 - 6 - kButtonWidth, 304, kButtonWidth, kButtonHeight, "Download");
  downloadbtn.SetEnabled(false);
  Place(Button24, width - 10 - 110, 304, 110, kButtonHeight, "Check for updates");

  Button24.OnClick = [this] { Button24Click(); };
  downloadbtn.OnClick = [this] { downloadbtnClick(); };
  get_file.AcceptTypes = "*/*";
  get_file.Agent = "Zentile HTTPGet";
  get_file.BinaryData = true;
  get_file.UseCache = false;
  get_file.FileName = update::kArchivePath;
  get_file.OnProgress = [this](update::THTTPGet* sender, int32_t total, int32_t readed) {
    get_fileProgress(sender, total, readed);
  };
  get_file.OnDoneFile = [this](update::THTTPGet* sender, const std::string& name, int32_t size) {
    get_fileDoneFile(sender, name, size);
  };
  get_file.OnError = [this](update::THTTPGet* sender) { get_fileError(sender); };
  SetUpdateSite(update::kUpdateSite);
}

void UpdatePage::SetUpdateSite(const std::string& url) {
  update_site_ = url;
  get_file.URL = update::SiteFile(url, update::kArchiveName);
}

void UpdatePage::Button24Click() {
  w_.ShowPage(*this);
  registry::IniStore versions(w_.platform.files,
                              registry::DataPath(w_.platform.processes.WindowsFolder(), update::kVersionFile));
  versions.WriteString(update::kSection, update::kVersionKey, w_.ProgramVersion);
  versions.WriteString(update::kSection, update::kUpdateKey, w_.UpdateNumber);

  if (!update::DownloadList(w_.platform.network, w_.platform.files, update::SiteFile(update_site_, update::kListName),
                            update::kListPath, update::kListTimeoutMs)) {
    tk::App().MessageBox(tk::MsgKind::Warning, std::string("Could not download update list. Please try again or go to ") +
                                                   update::kDownloadSite + " to download an updated version.");
    return;
  }
  const int current = update::ParseInteger(w_.UpdateNumber, 0);
  const update::UpdateList list = update::ReadUpdateList(w_.platform.files, update::kListPath);
  if (list.update == 0)
    tk::App().MessageBox(tk::MsgKind::Error,
                         "Update file was downloaded, but program was unable to determine the new version number. "
                         "Update will not continue.");
  if (list.update > current) {
    w_.protection().Log(events::kUpdateFound, {list.wersja});
    downloadbtn.SetEnabled(true);
    updwersja.SetCaption(list.wersja);
    updrozmiar.SetCaption(list.rozmiar);
    updrelease.SetCaption(list.release);
  } else {
    tk::App().MessageBox(tk::MsgKind::Information, "Your version of Veltrane is current.");
  }
}

void UpdatePage::downloadbtnClick() { get_file.GetFile(); }

void UpdatePage::get_fileProgress(update::THTTPGet* Sender, int32_t TotalSize, int32_t Readed) {
  sciaganie.SetMax(TotalSize);
  sciaganie.SetPosition(Readed);
}

void UpdatePage::get_fileDoneFile(update::THTTPGet* Sender, const std::string& FileName, int32_t FileSize) {
  w_.protection().Log(events::kUpdateDownloaded, {FileName});
  tk::App().MessageBox(tk::MsgKind::Information, "Update was downloaded. Read the help file inside it.");
  // Shown to the person, not opened: an association of theirs (which any
  // program of theirs can change) would run with this program's rights.
  // Explorer is the Windows folder's, never one found elsewhere; whether
  // it shows is not ours to report. The path holds no blank or comma, so
  // it goes unquoted, which every Explorer reads; Explorer runs in the
  // archive's folder, which Wine's shows whatever it is asked to select.
  w_.platform.shell.Start(w_.platform.processes.WindowsFolder() + "\\explorer.exe", "/select," + FileName,
                          FileName.substr(0, FileName.find_last_of('\\') + 1));
  tk::App().ShowMessage("Restart Veltrane!");
  tk::App().Terminate();
}

void UpdatePage::get_fileError(update::THTTPGet* Sender) {
  tk::App().MessageBox(tk::MsgKind::Error, std::string("Error occured. Try to download the newest version from ") +
                                               update::kDownloadSite + ".");
}

}  // namespace app
