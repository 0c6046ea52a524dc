// The log-on task against Wine's Task Scheduler, which registers and deletes
// tasks but leaves the run level and log-on type of a definition unbuilt: a
// task it cannot build as asked must be reported as not set, and leave none.
#include <windows.h>

#include <taskschd.h>

#include <gtest/gtest.h>

#include <thread>

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

  const uint32_t set = system.SetLogonTask("VeltraneTestTask", "C:\\Program Files\\Quorvik\\Veltrane\\veltrane.exe");
  EXPECT_EQ(scheduler.Has(kName), set == 0) << std::hex << set;
  // A refusal comes with the scheduler's own error, never as a success code.
  if (set != 0) EXPECT_TRUE(FAILED(HRESULT(set))) << std::hex << set;
  RecordProperty("logon_task_set", set == 0 ? "yes" : "no (the scheduler cannot build it)");

  ASSERT_TRUE(scheduler.Register(kName));
  ASSERT_TRUE(scheduler.Has(kName));
  EXPECT_EQ(system.RemoveLogonTask("VeltraneTestTask"), 0u);
  EXPECT_FALSE(scheduler.Has(kName));
  // Gone already is gone.
  EXPECT_EQ(system.RemoveLogonTask("VeltraneTestTask"), 0u);
  EXPECT_EQ(system.SetLogonTask("", "C:\\x.exe"), kInvalidArgument);
}

// The program asks the scheduler only from a worker thread of its own,
// readied by the system: the answers are the same there.
TEST(LogonTask, AWorkerThreadGetsTheSameAnswers) {
  Win32System system;
  Scheduler scheduler;
  ASSERT_NE(scheduler.folder, nullptr);
  ASSERT_TRUE(scheduler.Register(kName));
  uint32_t set = 1, removed = 1, gone = 1;
  std::thread worker([&] {
    const std::unique_ptr<ThreadScope> scope = system.EnterWorkerThread();
    set = system.SetLogonTask("VeltraneTestTask", "C:\\Program Files\\Quorvik\\Veltrane\\veltrane.exe");
    removed = system.RemoveLogonTask("VeltraneTestTask");
    gone = system.RemoveLogonTask("VeltraneTestTask");
  });
  worker.join();
  EXPECT_EQ(removed, 0u);
  EXPECT_EQ(gone, 0u);
  EXPECT_FALSE(scheduler.Has(kName));
  EXPECT_TRUE(set == 0 || FAILED(HRESULT(set))) << std::hex << set;
}

}  // namespace
}  // namespace platform::win32
