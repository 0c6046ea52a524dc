// Scheduled tasks: their files read as XmlLite reads them (win32_task_files.cpp),
// and the Task Scheduler 2.0 that registers and deletes them (win32_tasks.cpp).
#pragma once
#include <optional>
#include <string>
#include <string_view>

#include "platform/tasks.h"

namespace platform::win32 {

class Win32Tasks : public Tasks {
 public:
  // <Windows>\Sysnative\Tasks for this 32-bit program on 64-bit Windows,
  // else <system folder>\Tasks.
  std::string Folder() override;
  // XmlLite, loaded from the system folder at first use (MinGW has no
  // import library for it), over a copy of the bytes in memory.
  TaskXml Parse(std::string_view bytes) override;
  // COM for the call when the thread has none yet.
  uint32_t Delete(const std::string& path) override;
  // The bytes as text by their byte order mark (UTF-16 LE or UTF-8; UTF-8
  // without one). The task's folder is created when it is missing.
  uint32_t Register(const std::string& path, std::string_view bytes) override;
};

// A task file's bytes as text: UTF-16 LE with its byte order mark (or
// without one, when it starts with a character below U+0100, as "<" is),
// else UTF-8 with or without one. nullopt when they are not such text, or
// hold a NUL, at which the scheduler would cut the task short.
std::optional<std::wstring> TaskFileText(std::string_view bytes);

}  // namespace platform::win32
