// Administrators-group membership from what the token test answers.
#include <gtest/gtest.h>

#include "core/admin_membership.h"
#include "core/status.h"

namespace ostrel::test {
namespace {

class ScriptedToken : public AdminGroupToken {
 public:
  explicit ScriptedToken(Result result) : result_(result) {}
  Result Test() override { return result_; }

 private:
  Result result_;
};

TEST(AdminMembershipTest, OnlyAnExactOneIsMembership) {
  ResetLastSystemError();
  for (int answer : {1, 0, 2, -1}) {
    ScriptedToken token({AdminGroupToken::Outcome::kTested, answer, 0});
    int member = 7;
    EXPECT_EQ(ZT_OK, IsBuiltinAdminGroupMember(token, &member));
    EXPECT_EQ(answer == 1 ? 1 : 0, member) << answer;
  }
  EXPECT_EQ(0u, LastSystemError());
}

TEST(AdminMembershipTest, BothFailurePathsCaptureAndReportNoMembership) {
  ScriptedToken failedTest({AdminGroupToken::Outcome::kTestFailed, 1, 5});
  int member = 1;
  EXPECT_EQ(ZT_ERR_ACCESS_DENIED, IsBuiltinAdminGroupMember(failedTest, &member));
  EXPECT_EQ(0, member);
  EXPECT_EQ(5u, LastSystemError());

  ScriptedToken failedIdentifier({AdminGroupToken::Outcome::kIdentifierFailed, 1, 8});
  member = 1;
  EXPECT_EQ(ZT_ERR_MEMORY, IsBuiltinAdminGroupMember(failedIdentifier, &member));
  EXPECT_EQ(0, member);
  EXPECT_EQ(8u, LastSystemError());

  EXPECT_EQ(ZT_ERR_SYSTEM, IsBuiltinAdminGroupMember(failedIdentifier, nullptr));
}

}  // namespace
}  // namespace ostrel::test
