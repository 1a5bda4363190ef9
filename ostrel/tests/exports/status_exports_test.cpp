// The last system error, the membership test and the password exports.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "orx/unique_handle.h"
#include "ostrel.h"

namespace ostrel::wine {
namespace {

DWORD WINAPI DoNothing(void*) { return 0; }

TEST(StatusExportsTest, AStartingThreadSetsTheLastSystemErrorBackToZero) {
  ASSERT_EQ(ZT_ERR_SYSTEM, ZT_WriteINIFileA(7, std::string(300, 'x').c_str()));
  EXPECT_EQ(ERROR_INSUFFICIENT_BUFFER, ZT_GetLastErrorCode());
  EXPECT_EQ(ERROR_INSUFFICIENT_BUFFER, ZT_GetLastErrorCode());

  orx::KernelHandle thread(CreateThread(nullptr, 0, DoNothing, nullptr, 0, nullptr));
  ASSERT_TRUE(thread);
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread.get(), 10000));
  EXPECT_EQ(0, ZT_GetLastErrorCode());
}

TEST(StatusExportsTest, WineRunsTheCallerAsAnAdministrator) {
  int member = 7;
  EXPECT_EQ(ZT_OK, ZT_IsBuildinLocalAdminGroup(&member));
  EXPECT_EQ(1, member);
  EXPECT_EQ(ZT_ERR_SYSTEM, ZT_IsBuildinLocalAdminGroup(nullptr));
}

TEST(StatusExportsTest, PasswordExports) {
  EXPECT_EQ(ZT_ERR_PASSWORD_TOO_SHORT, ZT_ValidatePasswordA("a_c"));
  EXPECT_EQ(ZT_OK, ZT_ValidatePasswordA("Secret,-./;="));
  EXPECT_EQ(ZT_ERR_PASSWORD_TOO_LONG, ZT_ValidatePasswordA("abcdefghijklm"));
  EXPECT_EQ(ZT_ERR_PASSWORD_NOT_ASCII, ZT_ValidatePasswordA("ab\xE9_cd"));
  EXPECT_EQ(ZT_ERR_PASSWORD_BAD_CHAR, ZT_ValidatePasswordA("ab_\xE9" "cd"));
  EXPECT_EQ(ZT_ERR_PASSWORD_TOO_SHORT, ZT_ValidatePasswordA(nullptr));
  EXPECT_EQ(ZT_OK, ZT_ValidatePasswordW(L"[a\\b]"));
  EXPECT_EQ(ZT_ERR_PASSWORD_BAD_CHAR, ZT_ValidatePasswordW(L"a b c"));
  EXPECT_EQ(ZT_ERR_PASSWORD_TOO_SHORT, ZT_ValidatePasswordW(nullptr));
}

}  // namespace
}  // namespace ostrel::wine
