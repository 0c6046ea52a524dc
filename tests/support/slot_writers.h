// Two copies of the program, one per signed-in person, change one list at
// once. The tests of that start this test program twice in the writer mode
// below: each copy adds records to the white list and erases every second
// one again, through the data files' lock as the program does, and between
// its changes reads the whole list as a scan would, without the lock.
#pragma once
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <set>
#include <string>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <process.h>
#include <stdlib.h>
#include "platform/win32/win32_files.h"
#else
#include "tests/doubles/portable/portable_files.h"
#include <spawn.h>
#include <unistd.h>
#include <sys/wait.h>
#endif

#include "registry/data_files.h"

namespace testing_support {

// A writer's arguments: "--slot-writer <place> <writer>". On Windows the
// writer uses the Windows backend and place is the folder of the list; on
// the host it uses the portable one, place is the host folder of drive C:
// and the list lies in C:\Windows.
constexpr const char* kSlotWriterFlag = "--slot-writer";
constexpr int kRecordsPerWriter = 100;
// Exit codes of a writer.
enum WriterResult { kWriterDone = 0, kRecordLost = 1, kHalfRecordSeen = 2, kNoStart = 3, kWriterFailed = 4 };

inline std::string RecordText(int writer, int n) {
  return "writer " + std::to_string(writer) + " record " + std::to_string(n);
}

// Every slot in use holds one record whole: its number, and its record's
// text under both keys.
inline bool EveryRecordWhole(registry::IniStore& list) {
  using namespace registry::white_list;
  registry::IniStore::Batch batch(list);
  for (int slot = 0; slot <= kLastSlot; ++slot) {
    const auto number = registry::ReadSlot(list, slot, kNumber), name = registry::ReadSlot(list, slot, kName),
               command = registry::ReadSlot(list, slot, kCommand);
    if (!number && !name && !command) continue;
    if (number != std::to_string(slot) || !command || name != command) return false;
  }
  return true;
}

inline WriterResult WriteSlots(platform::Files& files, const std::string& windows_folder, int writer) {
  using namespace registry::white_list;
  registry::StoreLock lock(files, registry::DataPath(windows_folder, registry::kLockFile));
  registry::IniStore list(files, registry::DataPath(windows_folder, kDataFile), &lock);
  // Both start together, once the test says so.
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!files.Exists(registry::DataPath(windows_folder, "go"))) {
    if (std::chrono::steady_clock::now() > give_up) return kNoStart;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  std::vector<int> slots;
  for (int n = 0; n < kRecordsPerWriter; ++n) {
    const std::string text = RecordText(writer, n);
    {
      registry::IniStore::Change change(list);
      const int slot = registry::FindFreeSlot(list, kCommand, kLastSlot);
      if (slot < 0) return kWriterFailed;
      registry::WriteSlot(list, slot, {{kNumber, std::to_string(slot)}, {kName, text}, {kCommand, text}});
      slots.push_back(slot);
    }
    if (!EveryRecordWhole(list)) return kHalfRecordSeen;
    if (n % 2 == 1) {
      registry::IniStore::Change change(list);
      if (registry::ReadSlot(list, slots[n], kCommand) != text) return kRecordLost;
      registry::EraseSlot(list, slots[n]);
    }
  }
  return kWriterDone;
}

// The writer mode's main.
inline int SlotWriterMain(const std::string& place, int writer) {
  try {
#ifdef _WIN32
    platform::win32::Win32Files files;
    return WriteSlots(files, place, writer);
#else
    platform::portable::PortableFiles files(place);
    return WriteSlots(files, "C:\\Windows", writer);
#endif
  } catch (const std::exception& e) {
    std::fprintf(stderr, "writer %d: %s\n", writer, e.what());
    return kWriterFailed;
  }
}

// Starts writers 0 and 1 of this test program, lets them go at once and
// waits for both; their exit codes.
inline std::vector<int> RunTwoWriters(platform::Files& files, const std::string& windows_folder,
                                      const std::string& place) {
  std::vector<int> codes;
#ifdef _WIN32
  // _spawnv joins the arguments with blanks as they are.
  const std::string quoted = "\"" + place + "\"";
  std::vector<intptr_t> children;
  for (const char* writer : {"0", "1"}) {
    const char* args[] = {_pgmptr, kSlotWriterFlag, quoted.c_str(), writer, nullptr};
    children.push_back(_spawnv(_P_NOWAIT, _pgmptr, args));
  }
  files.Replace(registry::DataPath(windows_folder, "go"), "");
  for (intptr_t child : children) {
    int code = -1;
    if (child == -1 || _cwait(&code, child, _WAIT_CHILD) == -1) code = -1;
    codes.push_back(code);
  }
#else
  std::vector<pid_t> children;
  for (const char* writer : {"0", "1"}) {
    std::string self = "/proc/self/exe", flag = kSlotWriterFlag, at = place, id = writer;
    char* args[] = {self.data(), flag.data(), at.data(), id.data(), nullptr};
    pid_t pid = -1;
    if (posix_spawn(&pid, self.c_str(), nullptr, nullptr, args, environ) != 0) pid = -1;
    children.push_back(pid);
  }
  files.Replace(registry::DataPath(windows_folder, "go"), "");
  for (pid_t child : children) {
    int status = 0;
    codes.push_back(child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) ? WEXITSTATUS(status) : -1);
  }
#endif
  return codes;
}

// After both writers: the records each kept (every even one), each whole in
// a slot of its own, and nothing else.
inline void ExpectKeptRecords(platform::Files& files, const std::string& windows_folder) {
  using namespace registry::white_list;
  registry::IniStore list(files, registry::DataPath(windows_folder, kDataFile));
  EXPECT_TRUE(EveryRecordWhole(list));
  std::multiset<std::string> kept, expected;
  for (const auto& command : registry::ReadSlots(list, kCommand, kLastSlot))
    if (command) kept.insert(*command);
  for (int writer : {0, 1})
    for (int n = 0; n < kRecordsPerWriter; n += 2) expected.insert(RecordText(writer, n));
  EXPECT_EQ(kept, expected);
}

}  // namespace testing_support
