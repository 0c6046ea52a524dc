// The lock that copies of the program share around each change of the data
// files, and writes that no reader sees half done.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/doubles/portable/portable.h"
#include "registry/data_files.h"
#include "tests/support/data_paths.h"
#include "tests/support/mem_files.h"
#include "tests/support/slot_writers.h"

namespace registry {
namespace {

using testing_support::kLockPath;
using testing_support::kWhiteListPath;
using testing_support::MemFiles;

TEST(DataLock, ASlotIsWrittenInOneReplacementOrNotAtAll) {
  MemFiles files;
  IniStore store(files, kWhiteListPath);
  WriteSlot(store, 3, {{"numer", "3"}, {"nazwa", "App"}, {"sekcja", "HKLM_run"}, {"wartosc", "C:\\a.exe"}});
  EXPECT_EQ(files.replaces, 1);
  EXPECT_EQ(files.data[kWhiteListPath], "[3]\r\nnumer=3\r\nnazwa=App\r\nsekcja=HKLM_run\r\nwartosc=C:\\a.exe\r\n");
  // Unchanged keys cost no write; changed ones go together.
  WriteSlot(store, 3, {{"numer", "3"}, {"wartosc", "C:\\a.exe"}});
  EXPECT_EQ(files.replaces, 1);
  WriteSlot(store, 3, {{"nazwa", "B"}, {"wartosc", "C:\\b.exe"}});
  EXPECT_EQ(files.replaces, 2);
  // One key the file could not give back refuses the whole slot.
  const std::string before = files.data[kWhiteListPath];
  EXPECT_THROW(WriteSlot(store, 4, {{"nazwa", "C"}, {"wartosc", "two\r\nlines"}}), WriteError);
  EXPECT_EQ(files.data[kWhiteListPath], before);
  EXPECT_EQ(files.replaces, 2);
}

TEST(DataLock, EveryChangeHoldsTheSharedLockOnlyWhileItLasts) {
  MemFiles files;
  StoreLock lock(files, kLockPath);
  IniStore list(files, kWhiteListPath, &lock), other(files, "C:\\Windows\\disallowed.vlt", &lock);
  {
    IniStore::Change change(list);
    EXPECT_THAT(files.locked, testing::ElementsAre(kLockPath));
    // Taken again by this program, for the same file or another, it only counts.
    WriteSlot(list, 0, {{"wartosc", "a"}});
    IniStore::Change nested(other);
    EraseSlot(other, 0);
  }
  EXPECT_TRUE(files.locked.empty());
  EXPECT_EQ(ReadSlot(list, 0, "wartosc"), "a");
}

TEST(DataLock, AChangeThatCannotHaveTheLockIsRefusedAndWritesNothing) {
  MemFiles files;
  StoreLock lock(files, kLockPath);
  IniStore list(files, kWhiteListPath, &lock);
  WriteSlot(list, 0, {{"wartosc", "a"}});
  const std::string before = files.data[kWhiteListPath];
  {
    // Another copy holds it.
    std::unique_ptr<platform::FileLock> held = files.Lock(kLockPath, 0);
    ASSERT_TRUE(held);
    try {
      WriteSlot(list, 1, {{"wartosc", "b"}});
      ADD_FAILURE() << "written without the lock";
    } catch (const WriteError& e) {
      EXPECT_EQ(e.path(), kWhiteListPath);
    }
    EXPECT_THROW(EraseSlot(list, 0), WriteError);
    EXPECT_THROW(IniStore::Change change(list), WriteError);
  }
  EXPECT_EQ(files.data[kWhiteListPath], before);
  // Let go, it serves again.
  WriteSlot(list, 1, {{"wartosc", "b"}});
  EXPECT_EQ(ReadSlot(list, 1, "wartosc"), "b");
}

TEST(DataLock, AChangeReadsWhatAnotherCopyWroteEvenWhenTheFileLooksTheSame) {
  MemFiles files;
  files.frozen_clock = true;  // two writes in one tick of the file system's clock
  StoreLock lock(files, kLockPath);
  IniStore list(files, kWhiteListPath, &lock);
  WriteSlot(list, 0, {{"wartosc", "mine"}});
  EXPECT_EQ(ReadSlot(list, 0, "wartosc"), "mine");
  // Another copy erased the slot and wrote one of the same size meanwhile.
  files.data[kWhiteListPath] = "[1]\r\nwartosc=mine\r\n";
  IniStore::Change change(list);
  EXPECT_EQ(FindFreeSlot(list, "wartosc", 500), 0);
  EXPECT_EQ(ReadSlot(list, 1, "wartosc"), "mine");
}

// On Windows the same runs on the Windows backend (tests/win32).
#ifndef _WIN32
TEST(TwoCopies, AddAndEraseSlotsOfOneListAtOnceAndNoRecordIsMixedOrLost) {
  platform::portable::ScratchFolder scratch;
  std::filesystem::create_directories(scratch.path() / "Windows");
  platform::portable::PortableFiles files(scratch.path());
  const std::vector<int> codes =
      testing_support::RunTwoWriters(files, "C:\\Windows", scratch.path().string());
  EXPECT_THAT(codes, testing::ElementsAre(testing_support::kWriterDone, testing_support::kWriterDone));
  testing_support::ExpectKeptRecords(files, "C:\\Windows");
}
#endif

}  // namespace
}  // namespace registry
