#include <gtest/gtest.h>

#include <string>

#include "core/admin_membership.h"
#include "core/language_table.h"
#include "core/status.h"

namespace ostrel::test {
namespace {

std::u16string Tag(uint16_t id) { return LanguageForLangId(id).tag; }

TEST(LanguageTableTest, ExactIdsSelectTheirRow) {
  struct Case {
    uint16_t id;
    int code;
    const char16_t* tag;
  };
  const Case cases[] = {
      {0x0409, 0, u"EN"}, {0x0809, 0, u"EN"}, {0x0009, 0, u"EN"}, {0x0000, 0, u"EN"},
      {0x0410, 1, u"IT"}, {0x0810, 1, u"IT"}, {0x0C10, 0, u"EN"},
      {0x0404, 2, u"TC"}, {0x1004, 2, u"TC"}, {0x0804, 3, u"SC"}, {0x0C04, 3, u"SC"},
      {0x1404, 3, u"SC"}, {0x7C04, 0, u"EN"}, {0x0004, 0, u"EN"},
      {0x040C, 4, u"FR"}, {0x0C0C, 4, u"FR"}, {0x180C, 4, u"FR"}, {0x1C0C, 0, u"EN"},
      {0x0407, 5, u"DE"}, {0x0C07, 5, u"DE"}, {0x1407, 5, u"DE"}, {0x1807, 0, u"EN"},
      {0x040A, 6, u"ES"}, {0x080A, 6, u"ES"}, {0x500A, 6, u"ES"}, {0x540A, 0, u"EN"},
      {0x000A, 0, u"EN"},
      {0x0413, 7, u"DU"}, {0x0813, 7, u"DU"}, {0x0416, 8, u"PT"}, {0x0816, 8, u"PT"},
      {0x041D, 9, u"SV"}, {0x081D, 9, u"SV"}, {0x0411, 10, u"JP"}, {0x0811, 0, u"EN"},
      {0x0412, 0, u"EN"}, {0x0419, 0, u"EN"}, {0x0415, 0, u"EN"}, {0xFFFF, 0, u"EN"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.id);
    EXPECT_EQ(c.code, LanguageForLangId(c.id).code);
    EXPECT_EQ(std::u16string(c.tag), Tag(c.id));
  }
}

TEST(LanguageTableTest, EverySpanishSublanguageUpToTwentyIsSpanish) {
  for (uint16_t sub = 1; sub <= 20; ++sub) {
    EXPECT_EQ(6, LanguageForLangId(static_cast<uint16_t>(0x000A + sub * 0x0400)).code) << sub;
  }
}

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
