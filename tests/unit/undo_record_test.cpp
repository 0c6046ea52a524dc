// The undo records of the statistics file: what goes in comes back exactly,
// what the file cannot hold is refused, and slots that cannot be restored
// say why.
#include <gtest/gtest.h>

#include <string>

#include "registry/data_files.h"
#include "registry/undo.h"
#include "tests/support/mem_files.h"
#include "tests/support/data_paths.h"

namespace registry {
namespace {

using platform::RegView;
using platform::RootKey;
using platform::ValueType;
using testing_support::MemFiles;

constexpr const char* kRun = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char* kRunOnce = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce";

RemovedEntry Entry(std::string name, std::string data, ValueType type = ValueType::Sz,
                   RootKey root = RootKey::LocalMachine, RegView view = RegView::Native, std::string path = kRun) {
  return RemovedEntry{root, std::move(path), view, std::move(name), type, std::move(data)};
}

TEST(UndoRecord, WhatIsRecordedComesBackExactly) {
  const RemovedEntry cases[] = {
      Entry("Plain", "C:\\Apps\\app.exe"),
      Entry("Quoted", "\"C:\\Program Files\\App\\app.exe\""),
      Entry("Quoted with arguments", "\"C:\\A B\\a.exe\" /x \"y z\""),
      Entry("Single quotes", "'C:\\App\\app.exe'"),
      Entry("  Blanks around  ", "  C:\\App\\app.exe  "),
      Entry("Comment-like", ";C:\\x.exe=1 [section]"),
      Entry("", "C:\\default value.exe"),
      Entry("Empty data", ""),
      Entry("The free marker", "err"),
      Entry("\xD0\x9A\xD0\xBB\xD1\x8E\xD1\x87", "C:\\\xD0\x9F\xD1\x80\xD0\xB8\\\xE6\x97\xA5\xE6\x9C\xAC.exe"),
      Entry("Expand", "%SystemRoot%\\system32\\tool.exe", ValueType::ExpandSz),
      Entry("User", "C:\\u.exe", ValueType::Sz, RootKey::CurrentUser, RegView::Native, kRunOnce),
      Entry("Wow", "C:\\w.exe", ValueType::Sz, RootKey::LocalMachine, RegView::Wow32, kRunOnce),
      Entry("Longest", std::string(2047, 'x')),
  };
  MemFiles files;
  IniStore statistics(files, testing_support::kStatisticsPath);
  int slot = 0;
  for (const RemovedEntry& e : cases) {
    SCOPED_TRACE(e.name);
    Recorded r = RecordRemoval(statistics, e);
    ASSERT_EQ(r.result, RecordResult::Recorded);
    EXPECT_EQ(r.slot, slot++);
    ReadRemoval back = ReadRemovalSlot(statistics, r.slot);
    ASSERT_EQ(back.status, SlotRead::Ok);
    EXPECT_EQ(back.entry.root, e.root);
    EXPECT_EQ(back.entry.path, e.path);
    EXPECT_EQ(back.entry.view, e.view);
    EXPECT_EQ(back.entry.name, e.name);
    EXPECT_EQ(back.entry.type, e.type);
    EXPECT_EQ(back.entry.data, e.data);
    // The file holds the data as itself, as the lists show it.
    EXPECT_EQ(ReadSlot(statistics, r.slot, statistics::kData), e.data);
  }
}

TEST(UndoRecord, WhatTheFileCannotHoldIsRefusedAndNothingWritten) {
  const RemovedEntry cases[] = {
      Entry("Lines", "C:\\a.exe\r\nC:\\b.exe"),
      Entry("Line feed", "C:\\a.exe\nx"),
      Entry("Name\rbreak", "C:\\a.exe"),
      Entry("Too long", std::string(2048, 'x')),
      Entry(std::string(2048, 'n'), "C:\\a.exe"),
  };
  MemFiles files;
  IniStore statistics(files, testing_support::kStatisticsPath);
  for (const RemovedEntry& e : cases) EXPECT_EQ(RecordRemoval(statistics, e).result, RecordResult::NotStorable);
  EXPECT_EQ(files.data.count(testing_support::kStatisticsPath), 0u);
}

TEST(UndoRecord, SlotsThatCannotBeRestoredSayWhy) {
  struct Case {
    const char* what;
    const char* section;  // the lines of slot [0]
    SlotRead status;
  } cases[] = {
      {"free", "", SlotRead::Empty},
      {"stray keys without data", "korzen=HKEY_LOCAL_MACHINE\r\n", SlotRead::Empty},
      {"written before undo", "wartosc=C:\\a.exe\r\n", SlotRead::TooLittle},
      {"no name", "korzen=HKEY_LOCAL_MACHINE\r\nklucz=SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run\r\n"
                  "widok=native\r\ntyp=REG_SZ\r\nwartosc=C:\\a.exe\r\n", SlotRead::TooLittle},
      {"unknown type", "korzen=HKEY_LOCAL_MACHINE\r\nklucz=SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run\r\n"
                       "widok=native\r\nnazwa=A\r\ntyp=REG_BINARY\r\nwartosc=C:\\a.exe\r\n", SlotRead::TooLittle},
      {"unknown view", "korzen=HKEY_LOCAL_MACHINE\r\nklucz=SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run\r\n"
                       "widok=16-bit\r\nnazwa=A\r\ntyp=REG_SZ\r\nwartosc=C:\\a.exe\r\n", SlotRead::TooLittle},
      {"root and type in other letter case", "korzen=hkey_current_user\r\nklucz=software\\microsoft\\windows\\"
                                             "currentversion\\runonce\r\nwidok=native\r\nnazwa=A\r\ntyp=reg_sz\r\n"
                                             "wartosc=C:\\a.exe\r\n", SlotRead::Ok},
      {"a key no scan guards", "korzen=HKEY_LOCAL_MACHINE\r\nklucz=SYSTEM\\CurrentControlSet\\Services\\x\r\n"
                               "widok=native\r\nnazwa=ImagePath\r\ntyp=REG_SZ\r\nwartosc=C:\\a.exe\r\n", SlotRead::NotOurs},
      {"another root", "korzen=HKEY_USERS\r\nklucz=SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run\r\n"
                       "widok=native\r\nnazwa=A\r\ntyp=REG_SZ\r\nwartosc=C:\\a.exe\r\n", SlotRead::NotOurs},
      {"the user's key has no 32-bit view", "korzen=HKEY_CURRENT_USER\r\nklucz=SOFTWARE\\Microsoft\\Windows\\"
                                            "CurrentVersion\\Run\r\nwidok=32-bit\r\nnazwa=A\r\ntyp=REG_SZ\r\n"
                                            "wartosc=C:\\a.exe\r\n", SlotRead::NotOurs},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MemFiles files;
    files.data[testing_support::kStatisticsPath] = std::string("[0]\r\n") + c.section;
    IniStore statistics(files, testing_support::kStatisticsPath);
    ReadRemoval read = ReadRemovalSlot(statistics, 0);
    EXPECT_EQ(read.status, c.status);
    if (c.status != SlotRead::Empty) {
      EXPECT_EQ(read.entry.data, "C:\\a.exe");
    }
  }
}

}  // namespace
}  // namespace registry
