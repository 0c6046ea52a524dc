// The whole Win32 platform in one object.
#pragma once
#include "platform/platform.h"
#include "platform/win32/win32_event_log.h"
#include "platform/win32/win32_files.h"
#include "platform/win32/win32_network.h"
#include "platform/win32/win32_processes.h"
#include "platform/win32/win32_program_files.h"
#include "platform/win32/win32_registry.h"
#include "platform/win32/win32_services.h"
#include "platform/win32/win32_shell.h"
#include "platform/win32/win32_system.h"
#include "platform/win32/win32_tasks.h"

namespace platform::win32 {

struct Win32Platform {
  Win32Registry registry;
  Win32Processes processes;
  Win32Files files;
  Win32Shell shell;
  Win32System system;
  Win32Network network;
  Win32EventLog event_log;
  Win32Tasks tasks;
  Win32Services services;
  Win32ProgramFiles program_files;

  Platform View() {
    return Platform{registry, processes, files, shell, system, network, event_log, tasks, services, program_files};
  }
};

}  // namespace platform::win32
