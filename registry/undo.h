// Undo of the registry scan's deletions. Each autostart value is recorded in
// the statistics file ("C:\Windows\statistics.vlt") before it is deleted, one
// slot per value; page rejestr lists the slots and "Recover" writes a value
// back into its key, in its view, with its name, type and data.
#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/files.h"
#include "platform/processes.h"
#include "platform/system.h"
#include "platform/registry.h"
#include "registry/context.h"
#include "registry/ini_store.h"

namespace registry {

// A value deleted together with another.
struct RemovedValue {
  std::string name;
  platform::ValueType type = platform::ValueType::Sz;
  std::string data;
  bool operator==(const RemovedValue&) const = default;
};

// One deleted autostart value.
struct RemovedEntry {
  platform::RootKey root = platform::RootKey::LocalMachine;
  std::string path;
  platform::RegView view = platform::RegView::Native;
  std::string name;
  platform::ValueType type = platform::ValueType::Sz;
  std::string data;  // a DWORD (a service's Start) in decimal
  // A disabled service: its name and command, which the list shows; what
  // it shows of a line and of a class override too.
  std::string description;
  // A line of a multi-string (data): its position among the value's lines
  // as they were before any deletion still on record.
  int position = -1;
  // A class override's DelegateExecute, deleted with its command.
  std::optional<RemovedValue> also;
  bool operator==(const RemovedEntry&) const = default;
};

// One deleted scheduled task: its path, its command, and the name of the
// copy of its file's bytes in the trashcan folder's Tasks subfolder.
struct RemovedTask {
  std::string path;
  std::string command;
  std::string copy;
  bool operator==(const RemovedTask&) const = default;
};

// The Start value of a service as a record: "Recover" writes it back.
RemovedEntry ServiceStartRecord(const std::string& service, const std::string& command, uint32_t start);

enum class RecordResult { Recorded, Full, NotStorable };
struct Recorded {
  RecordResult result;
  int slot = -1;  // where it went, when Recorded
};
// Writes the entry into the lowest unused slot 0..kLastSlot, "wartosc" last
// so that a slot counts as used only once it is whole. NotStorable when the
// file could not give a text back unchanged; Full when no slot is free.
// Throws WriteError when the file cannot be written.
Recorded RecordRemoval(IniStore& statistics, const RemovedEntry& entry);
// The line at index of the multi-string that entry names: its position
// taken relative to the value's other recorded lines.
Recorded RecordLineRemoval(IniStore& statistics, RemovedEntry entry, size_t index);
// Where a line recorded at position goes back among the value's lines now,
// the value's other recorded lines being still out.
size_t LineIndexNow(IniStore& statistics, const RemovedEntry& entry);

// Keeps the task's bytes in the trashcan's Tasks subfolder, named after
// the record, and records it. NotStorable also when the copy cannot be
// written. Throws WriteError when the file cannot be written.
Recorded RecordTaskRemoval(IniStore& statistics, platform::Files& files, const std::string& copies_folder,
                           const std::string& path, const std::string& command, const std::string& bytes);
// The name of the copy of a task's file that the record in slot keeps.
std::string TaskCopyName(int slot);
// The trashcan's Tasks subfolder.
std::string TaskCopiesFolder(platform::System& system);

enum class SlotRead { Ok, Empty, TooLittle, NotOurs };
struct ReadRemoval {
  SlotRead status = SlotRead::Empty;
  RemovedEntry entry;  // when Ok; entry.data also when TooLittle or NotOurs
  std::optional<RemovedTask> task;  // for a task's record, when Ok
};
// The record of a slot. TooLittle: a slot written before the registry key,
// name and type were recorded (or one with parts missing or unknown).
// NotOurs: a record of a key other than the autostart keys, which no scan
// deleted and which is never written to.
ReadRemoval ReadRemovalSlot(IniStore& statistics, int slot);
// Erases the slot only while it holds the entry's record: another copy of
// the program may have reused it meanwhile.
void EraseRemoval(IniStore& statistics, int slot, const RemovedEntry& entry);
void EraseRemoval(IniStore& statistics, int slot, const RemovedTask& task);
// What the list shows of each slot 0..kLastSlot: the value's data, a task's
// path and command, a service's name and command.
std::vector<std::optional<std::string>> RemovalLines(IniStore& statistics);

// "HKEY_LOCAL_MACHINE\SOFTWARE\...\Run", and ", 32-bit view" for that view.
std::string KeyText(const RemovedEntry& entry);

inline constexpr std::string_view kUndoFull =
    "The list of removed registry sections is full, so this entry could not be recorded for undo. It is deleted "
    "all the same and cannot be recovered later.";
inline constexpr std::string_view kUndoNotStorable =
    "This entry could not be recorded for undo: its name or value is too long, or holds a line break or a NUL "
    "character. It is deleted all the same and cannot be recovered later.";
inline constexpr std::string_view kTooLittle =
    "This entry holds too little to restore: it was recorded by an older version of Veltrane, which kept only "
    "its value, not the registry key and name it came from.";
inline constexpr std::string_view kNotOurs =
    "This entry names a registry key that Veltrane does not guard, so it is not restored.";
inline constexpr std::string_view kRecovered = "The entry was put back into the registry.";
inline constexpr std::string_view kTaskRecovered = "The scheduled task was put back.";
inline constexpr std::string_view kValueExists = "The key already holds a value of that name.";
inline constexpr std::string_view kNotRecovered =
    "The entry could not be put back into the registry. It stays on the list.";

// "Recover" for the slot of the selected line, whose text the list showed:
// confirmation, the question before a value of that name is replaced, the
// write, and the record erased. A slot that no longer holds that text (the
// file changed since the list was filled) is left alone without a word.
void RecoverRemoval(Context& host, int slot, const std::string& shown_text);

}  // namespace registry
