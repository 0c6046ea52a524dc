// The file an autostart entry starts, found from its command: what the
// person is told about, and what an allowed entry is bound to.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "platform/text.h"
#include "registry/program_of.h"

namespace registry {
namespace {

class ProgramOfTest : public ::testing::Test {
 protected:
  std::set<std::string> files{"C:\\Windows\\System32\\rundll32.exe", "C:\\Windows\\System32\\regsvr32.exe",
                              "C:\\Windows\\System32\\wscript.exe", "C:\\Windows\\System32\\mshta.exe",
                              "C:\\Windows\\regedit.exe", "C:\\Program Files\\My App\\app.exe",
                              "C:\\Windows\\System32\\shell32.dll"};
  ProgramLookup lookup{"C:\\Windows", "C:\\Windows\\System32",
                       [](const std::string& text) {
                         std::string out = text;
                         for (const char* name : {"%SystemRoot%", "%windir%"})
                           for (size_t at; (at = out.find(name)) != std::string::npos;)
                             out.replace(at, std::string(name).size(), "C:\\Windows");
                         if (size_t at = out.find("%APPDATA%"); at != std::string::npos)
                           out.replace(at, 9, "C:\\Users\\Ann\\AppData\\Roaming");
                         return out;
                       },
                       [this](const std::string& path) {
                         for (const std::string& f : files)
                           if (platform::SameAsciiCaseless(f, path)) return true;
                         return false;
                       }};
  std::string Of(std::string_view command) { return ProgramOf(command, lookup); }
};

TEST_F(ProgramOfTest, IsTheProgramWhereWindowsFindsIt) {
  EXPECT_EQ(Of("\"C:\\Program Files\\My App\\app.exe\" /tray"), "C:\\Program Files\\My App\\app.exe");
  EXPECT_EQ(Of("C:\\Program Files\\My App\\app.exe /tray"), "C:\\Program Files\\My App\\app.exe");
  EXPECT_EQ(Of("C:\\Program Files\\Gone\\gone.exe -x"), "C:\\Program Files\\Gone\\gone.exe");
  EXPECT_EQ(Of("%APPDATA%\\svc\\updater.exe"), "C:\\Users\\Ann\\AppData\\Roaming\\svc\\updater.exe");
  EXPECT_EQ(Of("\\SystemRoot\\System32\\drivers\\evil.sys"), "C:\\Windows\\System32\\drivers\\evil.sys");
  EXPECT_EQ(Of("\\??\\C:\\Drivers\\d.sys"), "C:\\Drivers\\d.sys");
  EXPECT_EQ(Of("system32\\drivers\\x.sys"), "C:\\Windows\\system32\\drivers\\x.sys");
  // A bare name: the system folder first, then the Windows folder.
  EXPECT_EQ(Of("regedit"), "C:\\Windows\\regedit.exe");
  EXPECT_EQ(Of("rundll32.exe"), "C:\\Windows\\System32\\rundll32.exe");
  EXPECT_EQ(Of(""), "");
  // A list of DLLs: the first.
  EXPECT_EQ(Of("C:\\Hooks\\a.dll,C:\\Hooks\\b.dll"), "C:\\Hooks\\a.dll");
  EXPECT_EQ(Of("C:\\Hooks\\a.DLL C:\\Hooks\\b.dll"), "C:\\Hooks\\a.DLL");
}

TEST_F(ProgramOfTest, ForWindowsHostProgramsIsThePayload) {
  EXPECT_EQ(Of("rundll32.exe C:\\x\\evil.dll,Start"), "C:\\x\\evil.dll");
  EXPECT_EQ(Of("%SystemRoot%\\System32\\rundll32.exe \"C:\\My Dir\\e.dll\",#1"), "C:\\My Dir\\e.dll");
  EXPECT_EQ(Of("rundll32 shell32.dll,Control_RunDLL"), "C:\\Windows\\System32\\shell32.dll");
  EXPECT_EQ(Of("regsvr32.exe /s /n /i:x C:\\x\\scrobj.dll"), "C:\\x\\scrobj.dll");
  EXPECT_EQ(Of("wscript.exe //B //Nologo \"C:\\Users\\Ann\\run me.vbs\" arg"), "C:\\Users\\Ann\\run me.vbs");
  EXPECT_EQ(Of("mshta.exe C:\\x\\a.hta"), "C:\\x\\a.hta");
  // A host told to run nothing is itself what starts.
  EXPECT_EQ(Of("regsvr32.exe /s"), "C:\\Windows\\System32\\regsvr32.exe");
}

}  // namespace
}  // namespace registry
