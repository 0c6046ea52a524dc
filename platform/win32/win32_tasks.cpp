// Log-on tasks through the Task Scheduler (version 2, Windows Vista and
// later): how a program that asks for an administrator's rights still starts
// at log-on, with them.
#include "platform/win32/win32_handles.h"
// After <windows.h>, which they need.
#include <comdef.h>
#include <sddl.h>
#include <taskschd.h>

#include <climits>
#include <cstring>
#include <optional>
#include <vector>

#include "platform/win32/win32_com.h"
#include "platform/win32/win32_system.h"
#include "platform/win32/win32_tasks.h"

namespace platform::win32 {
namespace {

// The log-on trigger's own interface, which this compiler's headers lack.
struct __declspec(uuid("72DADE38-FAE4-4b3e-BAF4-5D009AF02B1C")) LogonTrigger : ITrigger {
  virtual HRESULT STDMETHODCALLTYPE get_Delay(BSTR* delay) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Delay(BSTR delay) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_UserId(BSTR* user) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_UserId(BSTR user) = 0;
};
constexpr IID kLogonTriggerId = {0x72dade38, 0xfae4, 0x4b3e, {0xba, 0xf4, 0x5d, 0x00, 0x9a, 0xf0, 0x2b, 0x1c}};

// The scheduler, connected as the current user.
HRESULT Connect(Com<ITaskService>& service) {
  HRESULT hr = CoCreateInstance(CLSID_TaskScheduler, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskService,
                                reinterpret_cast<void**>(service.out()));
  if (FAILED(hr)) return hr;
  VARIANT empty;
  VariantInit(&empty);
  return service->Connect(empty, empty, empty, empty);
}

// The scheduler's root folder, connected as the current user.
HRESULT RootFolder(Com<ITaskService>& service, Com<ITaskFolder>& folder) {
  if (HRESULT hr = Connect(service); FAILED(hr)) return hr;
  Bstr root(L"\\");
  return service->GetFolder(root, folder.out());
}

// "\Updater\Daily" is the task "Daily" in the folder "\Updater"; "\Foo"
// is "Foo" in the root folder "\".
struct TaskPath {
  std::wstring folder;
  std::wstring name;
};

// nullopt for anything but a full path with a name at its end: an empty
// name or part would make the scheduler act on a folder, or elsewhere.
std::optional<TaskPath> SplitTaskPath(const std::string& path) {
  std::optional<std::wstring> w = NameArg(path);
  if (!w || w->size() < 2 || w->front() != L'\\' || w->back() == L'\\' ||
      w->find(L"\\\\") != std::wstring::npos)
    return std::nullopt;
  const size_t last = w->rfind(L'\\');
  return TaskPath{last == 0 ? std::wstring(L"\\") : w->substr(0, last), w->substr(last + 1)};
}

bool Missing(HRESULT hr) {
  return hr == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) || hr == HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
}

// The folder at path, with every missing folder on the way created.
HRESULT MadeFolder(ITaskService* service, const std::wstring& path, Com<ITaskFolder>& folder) {
  HRESULT hr = service->GetFolder(Bstr(path), folder.out());
  if (!Missing(hr) || path == L"\\") return hr;
  const size_t last = path.rfind(L'\\');
  Com<ITaskFolder> parent;
  if (FAILED(hr = MadeFolder(service, last == 0 ? std::wstring(L"\\") : path.substr(0, last), parent))) return hr;
  VARIANT no_sddl;
  VariantInit(&no_sddl);
  hr = parent->CreateFolder(Bstr(path.substr(last + 1)), no_sddl, folder.out());
  // Made meanwhile by someone else is made.
  if (hr == HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS)) hr = service->GetFolder(Bstr(path), folder.out());
  return hr;
}

// An HRESULT as the platform reports it: 0 for every kind of success.
uint32_t Reported(HRESULT hr) { return SUCCEEDED(hr) ? 0 : uint32_t(hr); }

// COM for the worker thread's life. Multithreaded: the thread runs no
// message loop that a single-threaded apartment would need.
class ComApartment : public ThreadScope {
 public:
  ComApartment() : hr_(CoInitializeEx(nullptr, COINIT_MULTITHREADED)) {}
  ~ComApartment() override {
    if (SUCCEEDED(hr_)) CoUninitialize();
  }

 private:
  HRESULT hr_;
};

std::wstring CurrentUser() {
  wchar_t name[256];
  DWORD size = 256;
  return GetUserNameW(name, &size) ? std::wstring(name) : std::wstring();
}

}  // namespace

bool Win32System::RunsElevated() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
  Handle owned(token);
  TOKEN_ELEVATION_TYPE type = TokenElevationTypeDefault;
  DWORD size = 0;
  if (!GetTokenInformation(token, TokenElevationType, &type, sizeof type, &size)) return false;
  return type == TokenElevationTypeFull;
}

std::optional<std::string> Win32System::UserSid() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return std::nullopt;
  Handle owned(token);
  DWORD size = 0;
  GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  std::vector<BYTE> user(size);
  wchar_t* text = nullptr;
  if (size == 0 || !GetTokenInformation(token, TokenUser, user.data(), size, &size) ||
      !ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid, &text))
    return std::nullopt;
  std::string sid = Utf8(text);
  LocalFree(text);
  return sid;
}

std::unique_ptr<ThreadScope> Win32System::EnterWorkerThread() { return std::make_unique<ComApartment>(); }

uint32_t Win32System::SetLogonTask(const std::string& name, const std::string& program) {
  auto wname = NameArg(name), wprogram = NameArg(program);
  if (name.empty() || program.empty() || !wname || !wprogram) return kInvalidArgument;
  ComScope com;
  Com<ITaskService> service;
  Com<ITaskFolder> folder;
  Com<ITaskDefinition> task;
  HRESULT hr = RootFolder(service, folder);
  if (FAILED(hr) || FAILED(hr = service->NewTask(0, task.out()))) return Reported(hr);

  const std::wstring user = CurrentUser();
  Com<IPrincipal> principal;
  if (FAILED(hr = task->get_Principal(principal.out())) ||
      FAILED(hr = principal->put_RunLevel(TASK_RUNLEVEL_HIGHEST)) ||
      FAILED(hr = principal->put_LogonType(TASK_LOGON_INTERACTIVE_TOKEN)))
    return Reported(hr);
  Com<ITaskSettings> settings;
  if (SUCCEEDED(task->get_Settings(settings.out()))) {
    // A guard runs as long as the session does, on battery too.
    Bstr forever(L"PT0S");
    settings->put_ExecutionTimeLimit(forever);
    settings->put_DisallowStartIfOnBatteries(VARIANT_FALSE);
    settings->put_StopIfGoingOnBatteries(VARIANT_FALSE);
  }

  Com<ITriggerCollection> triggers;
  Com<ITrigger> trigger;
  Com<LogonTrigger> logon;
  if (FAILED(hr = task->get_Triggers(triggers.out())) ||
      FAILED(hr = triggers->Create(TASK_TRIGGER_LOGON, trigger.out())) ||
      FAILED(hr = trigger->QueryInterface(kLogonTriggerId, reinterpret_cast<void**>(logon.out()))))
    return Reported(hr);
  Bstr user_id(user);
  if (!user.empty()) logon->put_UserId(user_id);

  Com<IActionCollection> actions;
  Com<IAction> action;
  Com<IExecAction> exec;
  Bstr path(*wprogram);
  if (FAILED(hr = task->get_Actions(actions.out())) || FAILED(hr = actions->Create(TASK_ACTION_EXEC, action.out())) ||
      FAILED(hr = action->QueryInterface(IID_IExecAction, reinterpret_cast<void**>(exec.out()))) ||
      FAILED(hr = exec->put_Path(path)))
    return Reported(hr);

  VARIANT no_user, no_password, no_sddl;
  VariantInit(&no_user);
  VariantInit(&no_password);
  VariantInit(&no_sddl);
  Com<IRegisteredTask> registered;
  Bstr task_name(*wname);
  return Reported(folder->RegisterTaskDefinition(task_name, task.get(), TASK_CREATE_OR_UPDATE, no_user, no_password,
                                                 TASK_LOGON_INTERACTIVE_TOKEN, no_sddl, registered.out()));
}

uint32_t Win32System::RemoveLogonTask(const std::string& name) {
  auto wname = NameArg(name);
  if (name.empty() || !wname) return kInvalidArgument;
  ComScope com;
  Com<ITaskService> service;
  Com<ITaskFolder> folder;
  if (HRESULT hr = RootFolder(service, folder); FAILED(hr)) return Reported(hr);
  Bstr task_name(*wname);
  HRESULT hr = folder->DeleteTask(task_name, 0);
  // Gone already counts as gone.
  return hr == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) ? 0 : Reported(hr);
}

uint32_t Win32Tasks::Delete(const std::string& path) {
  const std::optional<TaskPath> where = SplitTaskPath(path);
  if (!where) return kInvalidArgument;
  ComScope com;
  Com<ITaskService> service;
  Com<ITaskFolder> folder;
  HRESULT hr = Connect(service);
  if (FAILED(hr) || FAILED(hr = service->GetFolder(Bstr(where->folder), folder.out()))) return Reported(hr);
  return Reported(folder->DeleteTask(Bstr(where->name), 0));
}

uint32_t Win32Tasks::Register(const std::string& path, std::string_view bytes) {
  const std::optional<TaskPath> where = SplitTaskPath(path);
  if (!where) return kInvalidArgument;
  const std::optional<std::wstring> xml = TaskFileText(bytes);
  if (!xml || xml->size() > UINT_MAX / 2) return uint32_t(HRESULT_FROM_WIN32(ERROR_NO_UNICODE_TRANSLATION));
  ComScope com;
  Com<ITaskService> service;
  Com<ITaskFolder> folder;
  HRESULT hr = Connect(service);
  if (FAILED(hr) || FAILED(hr = MadeFolder(service.get(), where->folder, folder))) return Reported(hr);
  // No user or password: the principal is the one the XML names.
  VARIANT no_user, no_password, no_sddl;
  VariantInit(&no_user);
  VariantInit(&no_password);
  VariantInit(&no_sddl);
  Com<IRegisteredTask> registered;
  return Reported(folder->RegisterTask(Bstr(where->name), Bstr(*xml), TASK_CREATE, no_user, no_password,
                                       TASK_LOGON_NONE, no_sddl, registered.out()));
}

}  // namespace platform::win32
