// Windows errors as statuses, and the last system error kept for the caller.
#include <gtest/gtest.h>

#include "core/status.h"

namespace ostrel::test {
namespace {

TEST(StatusMapTest, MapsTheListedErrorsAndEverythingElseToSystem) {
  EXPECT_EQ(ZT_ERR_NOT_FOUND, StatusFromWindowsError(2));
  EXPECT_EQ(ZT_ERR_NOT_FOUND, StatusFromWindowsError(3));
  EXPECT_EQ(ZT_ERR_ACCESS_DENIED, StatusFromWindowsError(5));
  EXPECT_EQ(ZT_ERR_MEMORY, StatusFromWindowsError(8));
  EXPECT_EQ(ZT_ERR_ACCESS_DENIED, StatusFromWindowsError(12));
  for (uint32_t other : {0u, 1u, 4u, 6u, 14u, 87u, 122u, 234u, 1113u, 0xFFFFFFFFu}) {
    EXPECT_EQ(ZT_ERR_SYSTEM, StatusFromWindowsError(other)) << other;
  }
}

TEST(StatusMapTest, CaptureKeepsTheNumberUntilReset) {
  ResetLastSystemError();
  EXPECT_EQ(0u, LastSystemError());
  EXPECT_EQ(ZT_ERR_SYSTEM, CaptureSystemError(122));
  EXPECT_EQ(122u, LastSystemError());
  EXPECT_EQ(122u, LastSystemError());  // reading does not clear
  EXPECT_EQ(ZT_ERR_ACCESS_DENIED, CaptureSystemError(5));
  EXPECT_EQ(5u, LastSystemError());
  ResetLastSystemError();
  EXPECT_EQ(0u, LastSystemError());
}

}  // namespace
}  // namespace ostrel::test
