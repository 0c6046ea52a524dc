// Where the data files lie when the Windows folder is C:\Windows, as on
// most machines and in the portable platform unless a test moves it: the
// paths the program has always used.
#pragma once

namespace testing_support {

constexpr const char* kWhiteListPath = "C:\\Windows\\list.vlt";
constexpr const char* kBlackListPath = "C:\\Windows\\disallowed.vlt";
constexpr const char* kTrashcanListPath = "C:\\Windows\\trashcan.vlt";
constexpr const char* kStatisticsPath = "C:\\Windows\\statistics.vlt";
constexpr const char* kLockPath = "C:\\Windows\\veltrane.lck";

}  // namespace testing_support
