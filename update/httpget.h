// THTTPGet: fetches one HTTP resource into a local file on a worker thread
// (THTTPGetThread) and reports progress, completion and failure as events on
// the user-interface thread.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/network.h"

namespace update {

class THTTPGet;
class THTTPGetThread;

using TOnProgressEvent = std::function<void(THTTPGet* Sender, int32_t TotalSize, int32_t Readed)>;
using TOnDoneFileEvent = std::function<void(THTTPGet* Sender, const std::string& FileName, int32_t FileSize)>;
using TNotifyEvent = std::function<void(THTTPGet* Sender)>;

class THTTPGet {
 public:
  THTTPGet(platform::Network& network, platform::Files& files);
  // Aborts a running transfer; no event is raised after this.
  ~THTTPGet();
  THTTPGet(const THTTPGet&) = delete;
  THTTPGet& operator=(const THTTPGet&) = delete;

  // Published properties, taken by each transfer when it starts.
  std::string AcceptTypes = "*/*";
  std::string Agent = "Zentile HTTPGet";  // empty: no User-Agent
  bool BinaryData = false;                // a reply without Content-Length is not read
  std::string URL;                        // "http://" or "https://", host, optional port, path
  bool UseCache = false;
  std::string FileName;

  TOnProgressEvent OnProgress;  // after every block received
  TOnDoneFileEvent OnDoneFile;  // FileSize is the announced size
  TNotifyEvent OnError;         // failed

  // Starts a transfer of URL into FileName; does nothing while one runs.
  void GetFile();
 private:
  friend class THTTPGetThread;
  // The worker's termination event, on the user-interface thread.
  void TransferDone(bool result, const std::string& file_name, int32_t size);
  // Joins the workers that have ended.
  void Reap();

  platform::Network& network_;
  platform::Files& files_;
  THTTPGetThread* current_ = nullptr;
  std::vector<std::unique_ptr<THTTPGetThread>> workers_;
};

}  // namespace update
