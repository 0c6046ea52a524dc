// What the platform's registry and files promise the program, whichever
// backend gives them: the portable one on the host, Windows' own under Wine.
// The engines are mostly tested on the portable backend, so each promise
// here holds for both. A backend joins with a type that has
//
//   platform::Registry registry;
//   platform::Files files;
//   std::string Key();     // a key under HKEY_CURRENT_USER of the test's own
//   std::string Folder();  // a Windows path to an empty folder of its own
//
// and cleans both up as it goes.
#pragma once
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/files.h"
#include "platform/registry.h"

namespace conformance {

using platform::Access;
using platform::MoveStatus;
using platform::OpenStatus;
using platform::RegistryKey;
using platform::RootKey;
using platform::ValueType;
using platform::WaitResult;

// Only keeps a broken notification from hanging the whole run.
constexpr int kHangGuardMs = 30000;

template <class Backend>
class PlatformConformance : public ::testing::Test {
 protected:
  Backend backend;
  platform::Registry& reg = backend.registry;
  platform::Files& files = backend.files;
  const std::string path = backend.Key();
  const std::string folder = backend.Folder();

  std::unique_ptr<RegistryKey> Key(const std::string& sub = "") {
    return reg.OpenOrCreate(RootKey::CurrentUser, sub.empty() ? path : path + "\\" + sub);
  }
  std::string In(const std::string& name) const { return folder + "\\" + name; }
  std::vector<std::string> Entries() {
    std::vector<std::string> names = files.ListFiles(folder).names;
    std::sort(names.begin(), names.end());
    return names;
  }
  bool Copy(const std::string& from, const std::string& to) {
    std::unique_ptr<platform::HeldFile> held = files.Hold(from);
    return held && held->CopyToNew(to);
  }
};

TYPED_TEST_SUITE_P(PlatformConformance);

TYPED_TEST_P(PlatformConformance, TextValuesRoundTripUnexpandedAndWhole) {
  auto key = this->Key();
  ASSERT_TRUE(key);
  ASSERT_TRUE(key->WriteText("App", "C:\\Program Files\\App\\app.exe"));
  ASSERT_TRUE(key->WriteText("Exp", "%SystemRoot%\\x.exe", ValueType::ExpandSz));
  ASSERT_TRUE(key->WriteText("", "default"));
  ASSERT_TRUE(key->WriteText("Empty", ""));
  const std::string big(100 * 1024, 'q');
  ASSERT_TRUE(key->WriteText("Big", big));
  EXPECT_FALSE(key->WriteText("Bin", "x", ValueType::Binary));

  auto app = key->Read("app");  // names in any case
  ASSERT_TRUE(app);
  EXPECT_EQ(app->type, uint32_t(ValueType::Sz));
  EXPECT_EQ(app->data, "C:\\Program Files\\App\\app.exe");
  auto exp = key->Read("Exp");
  ASSERT_TRUE(exp);
  EXPECT_EQ(exp->type, uint32_t(ValueType::ExpandSz));
  EXPECT_EQ(exp->data, "%SystemRoot%\\x.exe");
  EXPECT_EQ(key->Read("")->data, "default");
  EXPECT_EQ(key->Read("Empty")->data, "");
  EXPECT_EQ(key->Read("Big")->data, big);
  EXPECT_FALSE(key->Read("Bin"));
  EXPECT_FALSE(key->Read("Missing"));
}

TYPED_TEST_P(PlatformConformance, EnumeratesAndDeletesValuesByAnyCase) {
  auto key = this->Key();
  ASSERT_TRUE(key);
  const std::string long_name(16383, 'n');
  for (const std::string& name : {std::string("One"), std::string("Two"), long_name})
    ASSERT_TRUE(key->WriteText(name, "x"));
  // The system keeps its own order (Windows: insertion, Wine: sorted).
  EXPECT_THAT(key->ValueNames(), ::testing::UnorderedElementsAre("One", "Two", long_name));
  EXPECT_TRUE(key->DeleteValue("two"));
  EXPECT_FALSE(key->DeleteValue("Two"));
  EXPECT_FALSE(key->Read("Two"));
  EXPECT_THAT(key->ValueNames(), ::testing::UnorderedElementsAre("One", long_name));
  EXPECT_THAT(this->Key("Fresh")->ValueNames(), ::testing::IsEmpty());
}

// A multi-string keeps every line whole, its NULs where they were; a
// subkey goes only when it has none of its own.
TYPED_TEST_P(PlatformConformance, MultiStringsRoundTripAndOnlyALeafSubkeyIsDeleted) {
  auto key = this->Key();
  ASSERT_TRUE(key);
  const std::string lines("autocheck autochk *\0C:\\\xC3\xA9\xF0\x9F\x98\x80.exe a\r\nb\0\0", 40);
  ASSERT_TRUE(key->WriteMultiText("BootExecute", lines));
  const auto read = key->Read("BootExecute");
  ASSERT_TRUE(read);
  EXPECT_EQ(read->type, uint32_t(ValueType::MultiSz));
  EXPECT_EQ(read->data, lines);
  ASSERT_TRUE(this->Key("Leaf")->WriteText("", "x"));
  ASSERT_TRUE(this->Key("Branch\\Leaf"));
  EXPECT_FALSE(key->DeleteSubkey("Branch"));
  EXPECT_TRUE(key->DeleteSubkey("leaf"));
  EXPECT_FALSE(this->reg.Open(RootKey::CurrentUser, this->path + "\\Leaf", Access::Read));
  EXPECT_TRUE(this->reg.Open(RootKey::CurrentUser, this->path + "\\Branch\\Leaf", Access::Read));
  EXPECT_FALSE(key->DeleteSubkey("Missing"));
}

TYPED_TEST_P(PlatformConformance, OpenNeverCreatesAndAReadHandleChangesNothing) {
  OpenStatus status = OpenStatus::Ok;
  EXPECT_FALSE(this->reg.Open(RootKey::CurrentUser, this->path + "\\Missing", Access::Read, &status));
  EXPECT_EQ(status, OpenStatus::NotFound);
  EXPECT_FALSE(this->reg.Open(RootKey::CurrentUser, this->path + "\\Missing", Access::ReadWrite, &status));
  EXPECT_EQ(status, OpenStatus::NotFound);
  ASSERT_TRUE(this->reg.OpenOrCreate(RootKey::CurrentUser, this->path + "\\A\\B\\", &status));
  EXPECT_EQ(status, OpenStatus::Ok);
  ASSERT_TRUE(this->Key("A\\B")->WriteText("v", "old"));
  auto read_only = this->reg.Open(RootKey::CurrentUser, this->path + "\\a\\b", Access::Read, &status);
  ASSERT_TRUE(read_only);
  EXPECT_EQ(status, OpenStatus::Ok);
  EXPECT_FALSE(read_only->WriteText("v", "new"));
  EXPECT_FALSE(read_only->DeleteValue("v"));
  EXPECT_EQ(read_only->Read("v")->data, "old");
  // A NUL in a key's path would cut it short and reach another key.
  EXPECT_FALSE(this->reg.Open(RootKey::CurrentUser, this->path + std::string("\0x", 2), Access::Read));
}

TYPED_TEST_P(PlatformConformance, AWatchWakesOnAChangeFromAnotherThreadAndRearms) {
  auto key = this->Key();
  this->Key("Sub");
  auto watch = this->reg.Watch(RootKey::CurrentUser, this->path, false, platform::kChangeName | platform::kChangeLastSet);
  ASSERT_TRUE(watch);
  std::thread writer([&] { this->Key()->WriteText("App", "1"); });
  EXPECT_EQ(watch->Wait(kHangGuardMs), WaitResult::Changed);
  writer.join();

  // Several changes before the next wait are one; one in a subkey is none.
  this->Key("Sub")->WriteText("v", "1");
  EXPECT_EQ(watch->Wait(0), WaitResult::TimedOut);
  key->WriteText("App", "2");
  key->WriteText("App", "3");
  EXPECT_EQ(watch->Wait(kHangGuardMs), WaitResult::Changed);
  EXPECT_EQ(watch->Wait(0), WaitResult::TimedOut);

  auto tree = this->reg.Watch(RootKey::CurrentUser, this->path, true, platform::kChangeLastSet);
  ASSERT_TRUE(tree);
  this->Key("Sub")->WriteText("v", "2");
  EXPECT_EQ(tree->Wait(kHangGuardMs), WaitResult::Changed);
}

TYPED_TEST_P(PlatformConformance, CancelWakesTheWaiterForGood) {
  this->Key();
  auto watch = this->reg.Watch(RootKey::CurrentUser, this->path, true, platform::kChangeLastSet);
  ASSERT_TRUE(watch);
  std::thread canceller([&] { watch->Cancel(); });
  EXPECT_EQ(watch->Wait(kHangGuardMs), WaitResult::Cancelled);
  canceller.join();
  this->Key()->WriteText("v", "1");
  EXPECT_EQ(watch->Wait(kHangGuardMs), WaitResult::Cancelled);
}

TYPED_TEST_P(PlatformConformance, AWatchIsRefusedWhatTheSystemWouldRefuse) {
  this->Key();
  EXPECT_FALSE(this->reg.Watch(RootKey::CurrentUser, this->path + "\\Missing", false, platform::kChangeLastSet));
  EXPECT_FALSE(this->reg.Watch(RootKey::CurrentUser, this->path, false, 0));
  EXPECT_FALSE(this->reg.Watch(RootKey::CurrentUser, this->path, false, 0x100));
}

TYPED_TEST_P(PlatformConformance, ReplaceCreatesAndRewritesLeavingNothingBeside) {
  const std::string list = this->In("list.vlt");
  EXPECT_FALSE(this->files.Stat(list).exists);
  const std::string bytes("a\0\r\n\xff", 5);
  ASSERT_TRUE(this->files.Replace(list, bytes));
  EXPECT_THAT(this->files.ReadAll(list), ::testing::Optional(bytes));
  const platform::FileStamp first = this->files.Stat(list);
  EXPECT_TRUE(first.exists);
  EXPECT_EQ(first.size, 5u);

  ASSERT_TRUE(this->files.Replace(this->In("LIST.VLT"), "longer content"));  // the same file
  EXPECT_NE(this->files.Stat(list), first);
  EXPECT_EQ(this->files.Stat(list).size, 14u);
  EXPECT_THAT(this->files.ReadAll(list), ::testing::Optional(std::string("longer content")));
  EXPECT_THAT(this->Entries(), ::testing::ElementsAre("list.vlt"));

  EXPECT_FALSE(this->files.Replace(this->In("missing\\list.vlt"), "x"));
  EXPECT_FALSE(this->files.Replace(this->folder, "a folder is not a file"));
  EXPECT_THAT(this->Entries(), ::testing::ElementsAre("list.vlt"));
}

TYPED_TEST_P(PlatformConformance, CopyNeverOverwritesMoveNeverReplacesDeleteTakesFilesOnly) {
  ASSERT_TRUE(this->files.Replace(this->In("a.txt"), "A"));
  ASSERT_TRUE(this->files.Replace(this->In("b.txt"), "B"));
  EXPECT_FALSE(this->Copy(this->In("a.txt"), this->In("B.TXT")));
  EXPECT_THAT(this->files.ReadAll(this->In("b.txt")), ::testing::Optional(std::string("B")));
  EXPECT_FALSE(this->Copy(this->In("a.txt"), this->In("missing\\c.txt")));
  ASSERT_TRUE(this->Copy(this->In("a.txt"), this->In("c.txt")));
  EXPECT_THAT(this->files.ReadAll(this->In("c.txt")), ::testing::Optional(std::string("A")));
  EXPECT_EQ(this->files.Stat(this->In("c.txt")).mtime, this->files.Stat(this->In("a.txt")).mtime);
  EXPECT_FALSE(this->files.Hold(this->In("missing.txt")));
  EXPECT_FALSE(this->files.Hold(this->folder));

  EXPECT_EQ(this->files.Move(this->In("a.txt"), this->In("b.txt")), MoveStatus::Failed);
  EXPECT_THAT(this->files.ReadAll(this->In("b.txt")), ::testing::Optional(std::string("B")));
  EXPECT_EQ(this->files.Move(this->In("a.txt"), this->In("missing\\a.txt")), MoveStatus::Failed);
  ASSERT_EQ(this->files.Move(this->In("a.txt"), this->In("moved.txt")), MoveStatus::Moved);
  EXPECT_FALSE(this->files.Exists(this->In("a.txt")));
  EXPECT_THAT(this->files.ReadAll(this->In("moved.txt")), ::testing::Optional(std::string("A")));

  EXPECT_FALSE(this->files.Delete(this->folder));
  EXPECT_TRUE(this->files.Delete(this->In("moved.txt")));
  EXPECT_FALSE(this->files.Delete(this->In("moved.txt")));
  EXPECT_FALSE(this->files.ReadAll(this->In("moved.txt")));
  EXPECT_FALSE(this->files.ReadAll(this->folder));
  EXPECT_TRUE(this->files.Exists(this->folder));
  EXPECT_FALSE(this->files.Exists(this->In("b.txt") + std::string("\0x", 2)));
  EXPECT_THAT(this->Entries(), ::testing::ElementsAre("b.txt", "c.txt"));
}

TYPED_TEST_P(PlatformConformance, ALockExcludesEveryOtherHolderUntilItIsDropped) {
  const std::string lock = this->In("veltrane.lck");
  std::unique_ptr<platform::FileLock> first = this->files.Lock(lock, 0);
  ASSERT_TRUE(first);
  EXPECT_TRUE(this->files.Exists(lock));
  // Another holder, even in this process, waits and gives up once its time is over.
  EXPECT_FALSE(this->files.Lock(lock, 0));
  EXPECT_FALSE(this->files.Lock(this->In("VELTRANE.LCK"), 30));
  first.reset();
  EXPECT_TRUE(this->files.Lock(lock, 0));
  EXPECT_FALSE(this->files.Lock(this->In("missing\\veltrane.lck"), 0));
  EXPECT_FALSE(this->files.Lock(lock + std::string("\0x", 2), 0));
}

REGISTER_TYPED_TEST_SUITE_P(PlatformConformance, TextValuesRoundTripUnexpandedAndWhole,
                            EnumeratesAndDeletesValuesByAnyCase, MultiStringsRoundTripAndOnlyALeafSubkeyIsDeleted,
                            OpenNeverCreatesAndAReadHandleChangesNothing,
                            AWatchWakesOnAChangeFromAnotherThreadAndRearms, CancelWakesTheWaiterForGood,
                            AWatchIsRefusedWhatTheSystemWouldRefuse, ReplaceCreatesAndRewritesLeavingNothingBeside,
                            CopyNeverOverwritesMoveNeverReplacesDeleteTakesFilesOnly,
                            ALockExcludesEveryOtherHolderUntilItIsDropped);

}  // namespace conformance
