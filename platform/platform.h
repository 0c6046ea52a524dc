// Everything the logic reaches outside itself, in one bundle.
#pragma once
#include "platform/event_log.h"
#include "platform/files.h"
#include "platform/network.h"
#include "platform/processes.h"
#include "platform/program_files.h"
#include "platform/registry.h"
#include "platform/services.h"
#include "platform/shell.h"
#include "platform/system.h"
#include "platform/tasks.h"

namespace platform {

struct Platform {
  Registry& registry;
  Processes& processes;
  Files& files;
  Shell& shell;
  System& system;
  Network& network;
  EventLog& event_log;
  Tasks& tasks;
  Services& services;
  ProgramFiles& program_files;
};

}  // namespace platform
