// The update check's side of the update site: where things are, the
// download of the update list and what it announces.
#pragma once
#include <string>

#include "platform/files.h"
#include "platform/network.h"

namespace update {

// The folder of "update.txt" and "veltraneupdate.zip".
constexpr const char* kUpdateSite = "https://update.quorvik.com/veltrane/";
// Where the user can always get the program by hand.
constexpr const char* kDownloadSite = "https://www.quorvik.com/veltrane";

constexpr const char* kListName = "update.txt";
constexpr const char* kArchiveName = "veltraneupdate.zip";
// In the Windows folder.
constexpr const char* kVersionFile = "temp.vlt";
constexpr const char* kListPath = "c:\\QuorvikUpdate.txt";
constexpr const char* kArchivePath = "c:\\veltraneupdate.zip";

// The version file (kVersionFile) and the update list share one section and
// the keys of the version and the update number.
constexpr const char* kSection = "veltrane";
constexpr const char* kVersionKey = "wersja";
constexpr const char* kUpdateKey = "update";

// The list download blocks the window; a site that stalls gives up after this.
constexpr int kListTimeoutMs = 20000;

// name in the folder site (with or without its final "/").
std::string SiteFile(const std::string& site, const std::string& name);

// Downloads url into path, giving up after timeout_ms. True when the whole
// reply of a 2xx status arrived; otherwise path is left as it was.
bool DownloadList(platform::Network& network, platform::Files& files, const std::string& url,
                  const std::string& path, int timeout_ms);

struct UpdateList {
  int update = 0;  // 0 when missing or not a number
  std::string wersja, rozmiar, release;
};

// Section "veltrane" of the list at path, with the defaults of a list that
// lacks a key.
UpdateList ReadUpdateList(platform::Files& files, const std::string& path);

// An integer as the profile reader takes it: optional sign and decimal
// digits; anything else, or a number out of range, gives default_value.
int ParseInteger(const std::string& text, int default_value);

}  // namespace update
