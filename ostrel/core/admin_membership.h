// Membership of the caller in the built-in local Administrators group.
#pragma once

#include <cstdint>

namespace ostrel {

// Port: builds S-1-5-32-544 and tests the calling thread's impersonation
// token, or the process token, against it (CheckTokenMembership without a
// token handle).
class AdminGroupToken {
 public:
  enum class Outcome { kIdentifierFailed, kTestFailed, kTested };
  struct Result {
    Outcome outcome;
    int tokenAnswer;  // kTested: the test's BOOL result
    uint32_t error;   // otherwise: the thread's last error after the failure
  };
  virtual ~AdminGroupToken() = default;
  virtual Result Test() = 0;
};

// Writes 1 to *isMember only when the test answered exactly 1, else 0, and
// returns 0; a failure to build the identifier or to test is captured,
// *isMember is 0 and the status comes from the map. Null `isMember` gives
// ZT_ERR_SYSTEM and tests nothing.
int IsBuiltinAdminGroupMember(AdminGroupToken& token, int* isMember);

}  // namespace ostrel
