// The log-on task against Wine's Task Scheduler, which registers and deletes
// tasks but leaves the run level and log-on type of a definition unbuilt: a
// task it cannot build as asked must be reported as not set, and leave none.
#include <windows.h>

#include <taskschd.h>

#include <gtest/gtest.h>

#include "platform/win32/win32_platform.h"

namespace platform::win32 {
namespace {

constexpr const wchar_t* kName = L"VeltraneTestTask";

// The root folder of the scheduler, for looking from outside the program.
struct Scheduler {
  Scheduler() {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (FAILED(CoCreateInstance(CLSID_TaskScheduler, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskService,
                                reinterpret_cast<void**>(&service))))
      return;
    VARIANT empty;
    VariantInit(&empty);
    BSTR root = SysAllocString(L"\\");
    if (SUCCEEDED(service->Connect(empty, empty, empty, empty))) service->GetFolder(root, &folder);
    SysFreeString(root);
  }
  ~Scheduler() {
    if (folder) folder->Release();
    if (service) service->Release();
    CoUninitialize();
  }
  bool Has(const wchar_t* name) {
    IRegisteredTask* task = nullptr;
    BSTR b = SysAllocString(name);
    HRESULT hr = folder->GetTask(b, &task);
    SysFreeString(b);
    if (task) task->Release();
    return SUCCEEDED(hr);
  }
  // A log-on task as another tool (or an earlier run elsewhere) leaves it.
  bool Register(const wchar_t* name) {
    BSTR b = SysAllocString(name);
    BSTR xml = SysAllocString(
        L"<?xml version=\"1.0\"?><Task xmlns=\"http://schemas.microsoft.com/windows/2004/02/mit/task\">"
        L"<Triggers><LogonTrigger><Enabled>true</Enabled></LogonTrigger></Triggers>"
        L"<Actions><Exec><Command>C:\\windows\\notepad.exe</Command></Exec></Actions></Task>");
    VARIANT empty;
    VariantInit(&empty);
    IRegisteredTask* task = nullptr;
    HRESULT hr = folder->RegisterTask(b, xml, TASK_CREATE_OR_UPDATE, empty, empty, TASK_LOGON_INTERACTIVE_TOKEN,
                                      empty, &task);
    if (task) task->Release();
    SysFreeString(xml);
    SysFreeString(b);
    return SUCCEEDED(hr);
  }

  ITaskService* service = nullptr;
  ITaskFolder* folder = nullptr;
};

TEST(LogonTask, WhatTheSchedulerSaysIsWhatIsThere) {
  Win32System system;
  Scheduler scheduler;
  ASSERT_NE(scheduler.folder, nullptr);

  // Wine runs every program with an administrator's full rights.
  EXPECT_TRUE(system.RunsElevated());

  const bool set = system.SetLogonTask("VeltraneTestTask", "C:\\Program Files\\Quorvik\\Veltrane\\veltrane.exe");
  EXPECT_EQ(scheduler.Has(kName), set);
  RecordProperty("logon_task_set", set ? "yes" : "no (the scheduler cannot build it)");

  ASSERT_TRUE(scheduler.Register(kName));
  ASSERT_TRUE(scheduler.Has(kName));
  EXPECT_TRUE(system.RemoveLogonTask("VeltraneTestTask"));
  EXPECT_FALSE(scheduler.Has(kName));
  // Gone already is gone.
  EXPECT_TRUE(system.RemoveLogonTask("VeltraneTestTask"));
  EXPECT_FALSE(system.SetLogonTask("", "C:\\x.exe"));
}

}  // namespace
}  // namespace platform::win32
