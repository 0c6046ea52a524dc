// The scan host of the Windows benchmarks: the real registry, shell and
// processes, with its white list in a file of this process in the
// temporary folder.
#pragma once
#include <windows.h>

#include <string>

#include "platform/win32/wide.h"
#include "platform/win32/win32_files.h"
#include "platform/win32/win32_network.h"
#include "platform/win32/win32_processes.h"
#include "platform/win32/win32_program_files.h"
#include "platform/win32/win32_registry.h"
#include "platform/win32/win32_services.h"
#include "platform/win32/win32_shell.h"
#include "platform/win32/win32_system.h"
#include "platform/win32/win32_tasks.h"
#include "tests/bench/bench_scan_host.h"

using Win32BenchHost = BenchScanHost<platform::win32::Win32Registry, platform::win32::Win32Shell,
                                     platform::win32::Win32Processes, platform::win32::Win32System,
                                     platform::win32::Win32Network, platform::win32::Win32Tasks,
                                     platform::win32::Win32Services, platform::win32::Win32ProgramFiles>;

// "<temporary folder>\veltrane-<name>-<process id>", made for the data files.
inline std::string TempDataFolder(const std::string& name) {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::string folder =
      platform::win32::Utf8(temp) + "veltrane-" + name + "-" + std::to_string(GetCurrentProcessId());
  CreateDirectoryW(platform::win32::Wide(folder).c_str(), nullptr);
  return folder;
}
