#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <thread>

#include "tests/doubles/portable/portable_registry.h"

namespace platform {
// Internal linkage: other tests may give RegValue their own.
[[maybe_unused]] static bool operator==(const RegValue& a, const RegValue& b) {
  return a.type == b.type && a.data == b.data;
}
[[maybe_unused]] static void PrintTo(const RegValue& v, std::ostream* os) {
  *os << "type " << v.type << " " << ::testing::PrintToString(v.data);
}
}  // namespace platform

namespace platform::portable {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr const char* kRun = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

RegValue Val(ValueType type, std::string data) { return {uint32_t(type), std::move(data)}; }


struct ValueCase {
  const char* line;
  const char* name;
  RegValue expected;
};

TEST(PlatformRegText, ReadsEveryValueForm) {
  const ValueCase cases[] = {
      {R"("App"="C:\\Program Files\\App\\app.exe")", "App",
       Val(ValueType::Sz, "C:\\Program Files\\App\\app.exe")},
      {R"("Q"="say \"hi\"")", "Q", Val(ValueType::Sz, "say \"hi\"")},
      {R"("Lone"="a\b")", "Lone", Val(ValueType::Sz, "a\\b")},
      {R"("Name \"q\""="x")", "Name \"q\"", Val(ValueType::Sz, "x")},
      {R"(@="default")", "", Val(ValueType::Sz, "default")},
      {R"("Num"=dword:0000002a)", "Num", Val(ValueType::Dword, std::string("\x2a\0\0\0", 4))},
      {R"("Big"=dword:FFFFFFFE)", "Big", Val(ValueType::Dword, "\xfe\xff\xff\xff")},
      {R"("Bin"=hex:de,ad,00,ef)", "Bin", Val(ValueType::Binary, std::string("\xde\xad\0\xef", 4))},
      {R"("None"=hex:)", "None", Val(ValueType::Binary, "")},
      {R"("Exp"=hex(2):25,00,41,00,25,00,00,00)", "Exp", Val(ValueType::ExpandSz, "%A%")},
      {R"("Wide"=hex(2):41,00,3a,26,00,00)", "Wide", Val(ValueType::ExpandSz, "A?")},
      {R"("Multi"=hex(7):61,00,00,00,62,00,00,00,00,00)", "Multi",
       Val(ValueType::MultiSz, std::string("a\0b\0\0", 5))},
      {R"("Q64"=hex(b):01,00,00,00,00,00,00,00)", "Q64", RegValue{11, std::string("\1\0\0\0\0\0\0\0", 8)}},
      {"\"Wrapped\"=hex:01,02,\\\r\n  03,04", "Wrapped", Val(ValueType::Binary, "\1\2\3\4")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    PortableRegistry reg;
    EXPECT_THAT(reg.LoadRegText(std::string("[HKLM\\K]\n") + c.line + "\n"), IsEmpty());
    EXPECT_EQ(reg.Get(RootKey::LocalMachine, "K", c.name), c.expected);
  }
}

TEST(PlatformRegText, Regedit4TextIsNotUtf16) {
  PortableRegistry reg;
  reg.LoadRegText("REGEDIT4\n\n[HKEY_CURRENT_USER\\K]\n\"E\"=hex(2):25,41,25,00\n");
  EXPECT_EQ(reg.Get(RootKey::CurrentUser, "K", "E"), Val(ValueType::ExpandSz, "%A%"));
}

TEST(PlatformRegText, RootNamesAndAbbreviations) {
  const std::pair<const char*, RootKey> cases[] = {
      {"HKEY_LOCAL_MACHINE", RootKey::LocalMachine}, {"hklm", RootKey::LocalMachine},
      {"HKCU", RootKey::CurrentUser},                {"HKEY_CLASSES_ROOT", RootKey::ClassesRoot},
      {"HKU", RootKey::Users},                       {"HKEY_CURRENT_CONFIG", RootKey::CurrentConfig},
  };
  for (const auto& [name, root] : cases) {
    SCOPED_TRACE(name);
    PortableRegistry reg;
    EXPECT_THAT(reg.LoadRegText(std::string("[") + name + "\\A\\B]\n\"v\"=\"1\""), IsEmpty());
    EXPECT_TRUE(reg.KeyExists(root, "a\\b"));
  }
}

TEST(PlatformRegText, DeletesKeysAndValues) {
  PortableRegistry reg;
  reg.LoadRegText(R"([HKCU\Top\Gone\Deeper]
"x"="1"
[HKCU\Top]
"keep"="1"
"drop"="2")");
  EXPECT_THAT(reg.LoadRegText(R"([-HKCU\Top\Gone]
[-HKCU\Top\NeverWas]
[HKCU\Top]
"drop"=-)"),
              IsEmpty());
  EXPECT_FALSE(reg.KeyExists(RootKey::CurrentUser, "Top\\Gone"));
  EXPECT_FALSE(reg.KeyExists(RootKey::CurrentUser, "Top\\Gone\\Deeper"));
  EXPECT_TRUE(reg.Get(RootKey::CurrentUser, "Top", "keep"));
  EXPECT_FALSE(reg.Get(RootKey::CurrentUser, "Top", "drop"));
}

TEST(PlatformRegText, SkipsMalformedLinesAndKeepsTheRest) {
  PortableRegistry reg;
  std::string text =
      "[HKLM\\Good]\n"                 // 1
      "\"ok1\"=\"1\"\n"                // 2
      "\"open=\"x\n"                   // 3 unterminated name
      "\"a\"\n"                        // 4 no '='
      "\"b\"=dword:123456789\n"        // 5 nine digits
      "\"c\"=hex:01,zz\n"              // 6
      "\"d\"=hex(2):41\n"              // 7 half a UTF-16 unit
      "\"e\"=\"x\" trailing\n"         // 8
      "\"f\"=str:1\n"                  // 9
      "junk\n"                         // 10
      "[-HKCU]\n"                      // 11 a whole root
      "[HKEY_NOWHERE\\X]\n"            // 12
      "\"lost\"=\"1\"\n"               // 13 under the bad key
      "[HKLM\\Good\n"                  // 14
      "[HKLM\\Good]\n"                 // 15
      "\"ok2\"=\"2\"\n"                // 16
      + std::string("\"n\0ul\"=\"1\"\n", 11);  // 17 a NUL in a name: kept whole, as names are counted
  EXPECT_THAT(reg.LoadRegText(text), ElementsAre(3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14));
  EXPECT_TRUE(reg.Get(RootKey::LocalMachine, "Good", "ok1"));
  EXPECT_TRUE(reg.Get(RootKey::LocalMachine, "Good", "ok2"));
  EXPECT_FALSE(reg.Get(RootKey::LocalMachine, "Good", "n"));
  EXPECT_TRUE(reg.Get(RootKey::LocalMachine, "Good", std::string("n\0ul", 4)));
}

TEST(PlatformRegText, ExportReadsBackTheSame) {
  PortableRegistry reg;
  reg.LoadRegText(R"([HKLM\S]
@="root \"default\""
"Path"="C:\\x"
"N"=dword:00000007
"E"=hex(2):25,00,41,00,00,00
[HKLM\S\Sub]
"B"=hex:00,ff)");
  reg.Set(RootKey::LocalMachine, "S\\Sub", "Lines", Val(ValueType::Sz, "a\r\nb"));
  reg.Set(RootKey::LocalMachine, "S\\Sub", "Odd", RegValue{0x1234, "raw"});
  std::string text = reg.ExportRegText(RootKey::LocalMachine, "s");
  PortableRegistry copy;
  EXPECT_THAT(copy.LoadRegText(text), IsEmpty()) << text;
  EXPECT_EQ(copy.ExportRegText(RootKey::LocalMachine, "S"), text);
  EXPECT_EQ(copy.Get(RootKey::LocalMachine, "S\\Sub", "Lines"), Val(ValueType::Sz, "a\r\nb"));
  EXPECT_EQ(copy.Get(RootKey::LocalMachine, "S\\Sub", "Odd"), (RegValue{0x1234, "raw"}));
  EXPECT_EQ(reg.ExportRegText(RootKey::LocalMachine, "Missing"), "");
}

TEST(PlatformPortableRegistry, OpenReportsWhyItFailed) {
  PortableRegistry reg;
  reg.LoadRegText("[HKLM\\Open]\n[HKLM\\Locked]\n[HKLM\\ReadOnly]\n");
  reg.DenyAccess(RootKey::LocalMachine, "Locked");
  reg.DenyWrite(RootKey::LocalMachine, "ReadOnly");
  struct Case {
    const char* path;
    Access access;
    OpenStatus expected;
  } cases[] = {
      {"Open", Access::ReadWrite, OpenStatus::Ok},
      {"OPEN\\", Access::Read, OpenStatus::Ok},
      {"Missing", Access::Read, OpenStatus::NotFound},
      {"Open\\Missing", Access::ReadWrite, OpenStatus::NotFound},
      {"Locked", Access::Read, OpenStatus::AccessDenied},
      {"ReadOnly", Access::Read, OpenStatus::Ok},
      {"ReadOnly", Access::ReadWrite, OpenStatus::AccessDenied},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    OpenStatus status = OpenStatus::Failed;
    auto key = reg.Open(RootKey::LocalMachine, c.path, c.access, &status);
    EXPECT_EQ(status, c.expected);
    EXPECT_EQ(key != nullptr, c.expected == OpenStatus::Ok);
  }
  EXPECT_FALSE(reg.KeyExists(RootKey::LocalMachine, "Missing"));  // Open never creates
}

TEST(PlatformPortableRegistry, OpenOrCreateHonoursRights) {
  PortableRegistry reg;
  OpenStatus status;
  EXPECT_TRUE(reg.OpenOrCreate(RootKey::CurrentUser, "A\\B\\C", &status));
  EXPECT_EQ(status, OpenStatus::Ok);
  EXPECT_THAT(reg.SubkeyNames(RootKey::CurrentUser, "a"), ElementsAre("B"));

  reg.DenyWrite(RootKey::LocalMachine, "Policy");
  EXPECT_FALSE(reg.OpenOrCreate(RootKey::LocalMachine, "Policy\\New", &status));
  EXPECT_EQ(status, OpenStatus::AccessDenied);
  EXPECT_FALSE(reg.KeyExists(RootKey::LocalMachine, "Policy\\New"));
  EXPECT_FALSE(reg.OpenOrCreate(RootKey::LocalMachine, "Policy", &status));
  EXPECT_EQ(status, OpenStatus::AccessDenied);
}

TEST(PlatformPortableRegistry, WritesNeedAWritableHandle) {
  PortableRegistry reg;
  reg.LoadRegText("[HKLM\\K]\n\"v\"=\"old\"");
  auto key = reg.Open(RootKey::LocalMachine, "K", Access::ReadWrite);
  EXPECT_FALSE(key->WriteText("v", "bin", ValueType::Binary));
  reg.FailWrites(RootKey::LocalMachine, "K");
  EXPECT_FALSE(key->WriteText("v", "new"));
  EXPECT_EQ(key->Read("v")->data, "old");
  reg.FailWrites(RootKey::LocalMachine, "K", false);
  EXPECT_TRUE(key->WriteText("v", "%TEMP%", ValueType::ExpandSz));
  EXPECT_EQ(key->Read("V"), Val(ValueType::ExpandSz, "%TEMP%"));

  // A key deleted under an open handle takes no more writes.
  reg.DeleteKey(RootKey::LocalMachine, "K");
  EXPECT_FALSE(key->WriteText("v", "lost"));
  EXPECT_FALSE(key->Read("v"));
  EXPECT_FALSE(reg.KeyExists(RootKey::LocalMachine, "K"));
}

TEST(PlatformPortableRegistry, ValuesKeepInsertionOrder) {
  PortableRegistry reg;
  auto key = reg.OpenOrCreate(RootKey::LocalMachine, kRun);
  for (const char* name : {"Zeta", "alpha", "Mid"}) key->WriteText(name, "x");
  key->WriteText("ZETA", "overwritten");  // same value: keeps place and spelling
  key->DeleteValue("alpha");
  key->WriteText("Alpha", "again");
  EXPECT_THAT(key->ValueNames(), ElementsAre("Zeta", "Mid", "Alpha"));
  EXPECT_EQ(key->Read("zeta")->data, "overwritten");
  EXPECT_FALSE(key->DeleteValue("alpha-not-there"));
}

// Arms a watch on HKLM\W, does `change`, and reports what an immediate Wait sees.
struct WatchCase {
  const char* what;
  bool subtree;
  unsigned filter;
  void (*change)(PortableRegistry&);
  bool fires;
};

void Write(PortableRegistry& r, const char* path, const char* name) {
  r.OpenOrCreate(RootKey::LocalMachine, path)->WriteText(name, "new");
}
void Create(PortableRegistry& r, const char* path) { r.OpenOrCreate(RootKey::LocalMachine, path); }
using R = PortableRegistry&;

TEST(PlatformPortableRegistry, WatchFiresOnlyForMatchingChanges) {
  const unsigned kBoth = kChangeName | kChangeLastSet;
  const WatchCase cases[] = {
      {"value written", false, kChangeLastSet, [](R r) { Write(r, "W", "v"); }, true},
      {"value overwritten, names only", false, kChangeName, [](R r) { Write(r, "W", "v"); }, false},
      {"value added, names", false, kChangeName, [](R r) { Write(r, "W", "new"); }, true},
      {"value deleted, names", false, kChangeName,
       [](R r) { r.OpenOrCreate(RootKey::LocalMachine, "W")->DeleteValue("v"); }, true},
      {"subkey created, names", false, kChangeName, [](R r) { Create(r, "W\\New"); }, true},
      {"subkey created, last-set", false, kChangeLastSet, [](R r) { Create(r, "W\\New"); }, false},
      {"value in subkey, flat", false, kBoth, [](R r) { Write(r, "W\\Sub", "v"); }, false},
      {"value in subkey, subtree", true, kChangeLastSet, [](R r) { Write(r, "W\\Sub", "v"); }, true},
      {"grandchild created, subtree", true, kChangeName, [](R r) { Create(r, "W\\Sub\\G"); }, true},
      {"sibling key", true, kBoth, [](R r) { Write(r, "W2", "v"); }, false},
      {"loaded from text", false, kChangeLastSet,
       [](R r) { r.LoadRegText("[HKLM\\W]\n\"v\"=\"3\""); }, true},
      {"watched key deleted", false, kChangeLastSet,
       [](R r) { r.DeleteKey(RootKey::LocalMachine, "W"); }, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    PortableRegistry reg;
    reg.LoadRegText("[HKLM\\W]\n\"v\"=\"1\"\n[HKLM\\W\\Sub]\n\"v\"=\"1\"\n[HKLM\\W2]");
    auto watch = reg.Watch(RootKey::LocalMachine, "W", c.subtree, c.filter);
    ASSERT_TRUE(watch);
    c.change(reg);
    EXPECT_EQ(watch->Wait(0), c.fires ? WaitResult::Changed : WaitResult::TimedOut);
  }
}

TEST(PlatformPortableRegistry, WatchOnDeletedKeyReportsOnceThenFails) {
  PortableRegistry reg;
  reg.OpenOrCreate(RootKey::CurrentUser, "Parent\\K");
  auto watch = reg.Watch(RootKey::CurrentUser, "Parent\\K", false, kChangeLastSet);
  reg.DeleteKey(RootKey::CurrentUser, "Parent");
  EXPECT_EQ(watch->Wait(-1), WaitResult::Changed);
  EXPECT_EQ(watch->Wait(-1), WaitResult::Failed);
}

TEST(PlatformPortableRegistry, AKeyThatCannotBeOpenedCannotBeWatched) {
  PortableRegistry reg;
  reg.DenyAccess(RootKey::CurrentUser, "Secret");
  EXPECT_FALSE(reg.Watch(RootKey::CurrentUser, "Secret", false, kChangeLastSet));
}

// A writer hammers the key while the waiter loops; the last write must
// always be followed by a wake-up, or the waiter would sit on stale data.
TEST(PlatformPortableRegistry, NoWakeUpIsLostUnderConcurrentWrites) {
  PortableRegistry reg;
  auto key = reg.OpenOrCreate(RootKey::CurrentUser, "Busy");
  auto watch = reg.Watch(RootKey::CurrentUser, "Busy", false, kChangeLastSet);
  constexpr int kWrites = 500;
  std::thread writer([&] {
    for (int i = 1; i <= kWrites; ++i) key->WriteText("n", std::to_string(i));
  });
  auto reader = reg.Open(RootKey::CurrentUser, "Busy", Access::Read);
  std::string last;
  while (last != std::to_string(kWrites)) {
    // The bound only keeps a regression from hanging the suite.
    ASSERT_EQ(watch->Wait(60000), WaitResult::Changed) << "last seen " << last;
    if (auto v = reader->Read("n")) last = v->data;
  }
  writer.join();
}

// 64-bit Windows keeps the machine's SOFTWARE key a second time for 32-bit
// programs, under Wow6432Node; elsewhere the 32-bit view is the same key.
TEST(PlatformPortableRegistry, The32BitViewOfTheMachinesSoftwareKeyLiesUnderWow6432Node) {
  struct Case {
    bool wow64;
    RootKey root;
    const char* path;
    RegView view;
    const char* stored;
  } cases[] = {
      {true, RootKey::LocalMachine, kRun, RegView::Wow32, "SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run"},
      {true, RootKey::LocalMachine, "software\\x", RegView::Wow32, "SOFTWARE\\Wow6432Node\\x"},
      {true, RootKey::LocalMachine, "SOFTWARE\\Wow6432Node\\y", RegView::Wow32, "SOFTWARE\\Wow6432Node\\y"},
      {true, RootKey::LocalMachine, "SOFTWARE\\Wow6432Node\\y", RegView::Native, "SOFTWARE\\Wow6432Node\\y"},
      {true, RootKey::LocalMachine, kRun, RegView::Native, kRun},
      {true, RootKey::LocalMachine, "SYSTEM\\z", RegView::Wow32, "SYSTEM\\z"},
      {true, RootKey::CurrentUser, kRun, RegView::Wow32, kRun},
      {false, RootKey::LocalMachine, kRun, RegView::Wow32, kRun},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.path) + (c.view == RegView::Wow32 ? " 32-bit" : " native") + (c.wow64 ? " on 64-bit" : ""));
    PortableRegistry reg;
    reg.SetWow64(c.wow64);
    EXPECT_EQ(reg.HasWow32View(), c.wow64);
    auto key = reg.OpenOrCreate(c.root, c.path, nullptr, c.view);
    ASSERT_TRUE(key);
    ASSERT_TRUE(key->WriteText("v", "1"));
    EXPECT_TRUE(reg.Get(c.root, c.stored, "v"));
    EXPECT_TRUE(reg.Open(c.root, c.path, Access::Read, nullptr, c.view));
    auto watch = reg.Watch(c.root, c.path, false, kChangeLastSet, c.view);
    ASSERT_TRUE(watch);
    reg.Set(c.root, c.stored, "v", Val(ValueType::Sz, "2"));
    EXPECT_EQ(watch->Wait(0), WaitResult::Changed);
  }
}

}  // namespace
}  // namespace platform::portable
