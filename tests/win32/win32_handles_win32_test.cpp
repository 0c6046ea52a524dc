// The owners of Win32 handles free what they hold exactly once: a moved-from
// owner frees nothing, a reset frees the old object at once.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "platform/win32/win32_handles.h"

namespace platform::win32 {
namespace {

bool Alive(HGDIOBJ object) { return GetObjectType(object) != 0; }

TEST(Win32Handles, AGdiObjectIsDeletedOnceByItsLastOwner) {
  HBRUSH red = CreateSolidBrush(RGB(255, 0, 0)), blue = CreateSolidBrush(RGB(0, 0, 255));
  ASSERT_TRUE(red && blue);
  {
    BrushHandle first(red);
    BrushHandle second(std::move(first));
    EXPECT_FALSE(first);
    first.reset();  // holds nothing: deletes nothing
    EXPECT_TRUE(Alive(red));
    second.reset(blue);
    EXPECT_FALSE(Alive(red));
    EXPECT_TRUE(Alive(blue));
    BrushHandle third;
    third = std::move(second);
    EXPECT_TRUE(Alive(blue));
  }
  EXPECT_FALSE(Alive(blue));
}

TEST(Win32Handles, AKeyStaysOpenWithItsOwnerWhereverItMoves) {
  const std::string path = "Software\\VeltraneTest\\Handles" + std::to_string(GetCurrentProcessId());
  KeyHandle created;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, created.out(),
                            nullptr),
            ERROR_SUCCESS);
  KeyHandle moved(std::move(created));
  EXPECT_FALSE(created);
  created.reset();
  const DWORD one = 1;
  EXPECT_EQ(RegSetValueExA(moved.get(), "v", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), sizeof one),
            ERROR_SUCCESS);
  // Opening into an owner that holds a key closes that key first.
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, moved.out()), ERROR_SUCCESS);
  DWORD values = 0;
  EXPECT_EQ(RegQueryInfoKeyA(moved.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr,
                             nullptr, nullptr, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(values, 1u);
  moved.reset();
  RegDeleteTreeA(HKEY_CURRENT_USER, path.c_str());
  RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\VeltraneTest");  // only when empty
}

}  // namespace
}  // namespace platform::win32
