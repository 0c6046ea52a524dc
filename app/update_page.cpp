// Page update: the check against the update site's list, the download of
// the archive through get_file, and the hand-over that ends the program.
#include "app/velmainfrm.h"
#include "registry/ini_store.h"
#include "toolkit/application.h"
#include "update/update_list.h"

namespace app {

void Tvelmain::ConnectUpdate() {
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

void Tvelmain::SetUpdateSite(const std::string& url) {
  update_site_ = url;
  get_file.URL = update::SiteFile(url, update::kArchiveName);
}

void Tvelmain::Button24Click() {
  silnik.ShowPage(update);
  registry::IniStore versions(platform.files, update::kVersionPath);
  versions.WriteString("veltrane", "wersja", ProgramVersion);
  versions.WriteString("veltrane", "update", UpdateNumber);

  if (!update::DownloadList(platform.network, platform.files, update::SiteFile(update_site_, update::kListName),
                            update::kListPath, update::kListTimeoutMs)) {
    tk::App().MessageBox(tk::MsgKind::Warning, std::string("Could not download update list. Please try again or go to ") +
                                                   update::kDownloadSite + " to download an updated version.");
    return;
  }
  const int current = update::ParseInteger(UpdateNumber, 0);
  const update::UpdateList list = update::ReadUpdateList(platform.files, update::kListPath);
  if (list.update == 0)
    tk::App().MessageBox(tk::MsgKind::Error,
                         "Update file was downloaded, but program was unable to determine the new version number. "
                         "Update will not continue.");
  if (list.update > current) {
    downloadbtn.SetEnabled(true);
    updwersja.SetCaption(list.wersja);
    updrozmiar.SetCaption(list.rozmiar);
    updrelease.SetCaption(list.release);
  } else {
    tk::App().MessageBox(tk::MsgKind::Information, "Your version of Veltrane is current.");
  }
}

void Tvelmain::downloadbtnClick() { get_file.GetFile(); }

void Tvelmain::get_fileProgress(update::THTTPGet* Sender, int32_t TotalSize, int32_t Readed) {
  sciaganie.SetMax(TotalSize);
  sciaganie.SetPosition(Readed);
}

void Tvelmain::get_fileDoneFile(update::THTTPGet* Sender, const std::string& FileName, int32_t FileSize) {
  tk::App().MessageBox(tk::MsgKind::Information, "Update was downloaded. Read the help file inside it.");
  // Whatever is registered for the archive opens it; its result is not ours to report.
  platform.shell.Open(update::kArchivePath);
  tk::App().ShowMessage("Restart Veltrane!");
  tk::App().Terminate();
}

void Tvelmain::get_fileError(update::THTTPGet* Sender) {
  tk::App().MessageBox(tk::MsgKind::Error, std::string("Error occured. Try to download the newest version from ") +
                                               update::kDownloadSite + ".");
}

}  // namespace app
