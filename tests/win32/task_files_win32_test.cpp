// Task files as XmlLite reads them, the folder Windows keeps them in, and the
// Task Scheduler registering and deleting them. Wine 8 registers a task from
// XML without its actions and triggers: only where a task is is checked.
// Each run has a copy of the prefix of its own, so the folder "\VeltraneTest"
// may stay behind.
#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "platform/win32/wide.h"
#include "platform/win32/win32_platform.h"

namespace platform::win32 {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::Field;

std::string Utf16File(const std::wstring& text, bool mark = true) {
  std::string bytes = mark ? "\xFF\xFE" : "";
  bytes.append(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
  return bytes;
}

// Two programs and a COM handler between them, as Windows writes a task.
const std::wstring kWindowsTask =
    L"<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n"
    L"<Task version=\"1.2\" xmlns=\"http://schemas.microsoft.com/windows/2004/02/mit/task\">\r\n"
    L"  <Principals><Principal id=\"Author\"><LogonType>InteractiveToken</LogonType></Principal></Principals>\r\n"
    L"  <Actions Context=\"Author\">\r\n"
    L"    <Exec>\r\n      <Command>  \"C:\\Program Files\\Z\u00fcrich\\up.exe\"\r\n</Command>\r\n"
    L"      <Arguments> /daily &amp; /quiet </Arguments>\r\n    </Exec>\r\n"
    L"    <ComHandler><ClassId>{0F87369F-A4E5-4CFC-BD3E-73E6154572DD}</ClassId></ComHandler>\r\n"
    L"    <Exec><Command><![CDATA[C:\\Tools\\tool.exe]]></Command></Exec>\r\n"
    L"  </Actions>\r\n"
    L"</Task>\r\n";

// The same as Wine writes it: UTF-8 with a mark, a comment, no declaration.
const std::string kWineTask =
    "\xEF\xBB\xBF<!-- Task definition created by Wine -->\n"
    "<Task xmlns=\"http://schemas.microsoft.com/windows/2004/02/mit/task\">\n"
    "  <Actions>\n"
    "    <Exec><Command>  \"C:\\Program Files\\Z\xC3\xBCrich\\up.exe\"\n</Command>"
    "<Arguments> /daily &amp; /quiet </Arguments></Exec>\n"
    "    <ComHandler><ClassId>{0F87369F-A4E5-4CFC-BD3E-73E6154572DD}</ClassId></ComHandler>\n"
    "    <Exec><Command><![CDATA[C:\\Tools\\tool.exe]]></Command></Exec>\n"
    "  </Actions>\n"
    "</Task>\n";

TEST(TaskFiles, ExecActionsAreReadInOrderWhateverTheEncoding) {
  Win32Tasks tasks;
  const std::string no_mark = std::string(kWineTask).substr(3);
  const struct {
    const char* what;
    std::string bytes;
  } files[] = {
      {"UTF-16 with a mark", Utf16File(kWindowsTask)},
      {"UTF-16 without one", Utf16File(kWindowsTask, false)},
      {"UTF-8 with a mark, as Wine writes it", kWineTask},
      {"followed by a comment", kWineTask + "<!-- end -->\n<?pi x?>\n"},
      {"UTF-8 without one", no_mark},
  };
  for (const auto& file : files) {
    const TaskXml task = tasks.Parse(file.bytes);
    EXPECT_TRUE(task.is_task) << file.what;
    EXPECT_FALSE(task.needs_password) << file.what;
    EXPECT_THAT(task.exec, ElementsAre(AllOf(Field(&TaskExec::command, "\"C:\\Program Files\\Z\xC3\xBCrich\\up.exe\""),
                                             Field(&TaskExec::arguments, "/daily & /quiet")),
                                       AllOf(Field(&TaskExec::command, "C:\\Tools\\tool.exe"),
                                             Field(&TaskExec::arguments, ""))))
        << file.what;
  }
}

TEST(TaskFiles, AnythingButAWellFormedTaskIsNoTask) {
  Win32Tasks tasks;
  const std::string task_start = "<Task><Actions><Exec><Command>C:\\a.exe</Command></Exec>";
  const struct {
    const char* what;
    std::string bytes;
  } files[] = {
      {"empty", ""},
      {"a comment alone", "<!-- nothing -->"},
      {"cut short", task_start},
      {"cut short after an end tag", task_start + "</Actions>"},
      {"cut short before a comment", task_start + "</Actions><!-- </Task> -->"},
      {"cut short in UTF-16", Utf16File(L"<Task><Actions>")},
      {"half a UTF-16 character at the end", Utf16File(L"<Task/>") + "<"},
      {"a closing tag that does not match", task_start + "</Action></Task>"},
      {"another root", "<Job><Actions><Exec><Command>C:\\a.exe</Command></Exec></Actions></Job>"},
      {"two roots", "<Task/><Task/>"},
      {"a DTD", "<?xml version=\"1.0\"?><!DOCTYPE Task [<!ENTITY cmd \"C:\\evil.exe\">]>"
                "<Task><Actions><Exec><Command>&cmd;</Command></Exec></Actions></Task>"},
      {"a DTD without entities", "<!DOCTYPE Task><Task/>"},
      {"not text", std::string("\x00\x01\xFE\xFF<Task/>", 10)},
      {"UTF-8 that is not", "<Task><Actions><Exec><Command>C:\\\xC3(.exe</Command></Exec></Actions></Task>"},
  };
  for (const auto& file : files) {
    const TaskXml task = tasks.Parse(file.bytes);
    EXPECT_FALSE(task.is_task) << file.what;
    EXPECT_TRUE(task.exec.empty()) << file.what;
  }
}

TEST(TaskFiles, OnlyExecUnderActionsCountsAndAStoredPasswordIsNoticed) {
  Win32Tasks tasks;
  const TaskXml task = tasks.Parse(
      "<t:Task xmlns:t=\"urn:x\"><t:Principals><t:Principal><t:LogonType> Password </t:LogonType>"
      "</t:Principal></t:Principals>"
      "<t:Data><t:Exec><t:Command>C:\\not-an-action.exe</t:Command></t:Exec></t:Data>"
      "<t:Actions><t:Exec><t:Command>C:\\a.exe</t:Command><t:Arguments/></t:Exec><t:Exec/></t:Actions></t:Task>");
  EXPECT_TRUE(task.is_task);
  EXPECT_TRUE(task.needs_password);
  EXPECT_THAT(task.exec, ElementsAre(Field(&TaskExec::command, "C:\\a.exe"), Field(&TaskExec::command, "")));
  EXPECT_FALSE(tasks.Parse("<Task><Principals><Principal><LogonType>S4U</LogonType></Principal></Principals></Task>")
                   .needs_password);
}

const char kSmallTask[] =
    "\xEF\xBB\xBF<Task version=\"1.2\" xmlns=\"http://schemas.microsoft.com/windows/2004/02/mit/task\">"
    "<Principals><Principal id=\"Author\"><LogonType>InteractiveToken</LogonType></Principal></Principals>"
    "<Actions Context=\"Author\"><Exec><Command>C:\\windows\\notepad.exe</Command></Exec></Actions></Task>";

TEST(TaskScheduler, ATaskIsRegisteredOnceAtItsPathAndDeletedWithItsFile) {
  Win32Tasks tasks;
  Win32Files files;
  const std::string file = tasks.Folder() + "\\VeltraneTest\\One";

  // The folder "\VeltraneTest" is made for it; a thread without COM gets it for the call.
  uint32_t registered = 1;
  std::thread([&] { registered = tasks.Register("\\VeltraneTest\\One", kSmallTask); }).join();
  ASSERT_EQ(registered, 0u);
  EXPECT_TRUE(files.Exists(file));
  EXPECT_THAT(files.ListFolders(tasks.Folder()).names, Contains("VeltraneTest"));
  EXPECT_EQ(tasks.Register("\\VeltraneTest\\One", kSmallTask), kTaskExists);
  EXPECT_EQ(tasks.Register("\\VeltraneTest\\Two", Utf16File(Wide(kSmallTask + 3))), 0u);

  // Deleting runs on the program's worker thread, in its apartment.
  uint32_t deleted = 1, again = 0;
  Win32System system;
  std::thread([&] {
    const std::unique_ptr<ThreadScope> com = system.EnterWorkerThread();
    deleted = tasks.Delete("\\VeltraneTest\\One");
    again = tasks.Delete("\\VeltraneTest\\One");
  }).join();
  EXPECT_EQ(deleted, 0u);
  EXPECT_FALSE(files.Exists(file));
  EXPECT_TRUE(FAILED(HRESULT(again))) << std::hex << again;
  EXPECT_EQ(tasks.Delete("\\VeltraneTest\\Two"), 0u);
}

TEST(TaskScheduler, PathsAndBytesThatNameNoTaskAreRefused) {
  Win32Tasks tasks;
  for (const char* path : {"", "\\", "One", "\\VeltraneTest\\", "\\VeltraneTest\\\\One", "\\Veltrane\xC3(Test"})
    EXPECT_EQ(tasks.Delete(path), kInvalidArgument) << path;
  for (const std::string& bytes : {std::string("<Task>\xC3(</Task>"), std::string("<Task/>\0<Job/>", 14),
                                   std::string("\xFF\xFE<\0T\0", 5)})
    EXPECT_TRUE(FAILED(HRESULT(tasks.Register("\\VeltraneTestBad", bytes))));
}

}  // namespace
}  // namespace platform::win32
