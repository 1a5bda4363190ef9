#include "admin_membership.h"

#include "status.h"

namespace ostrel {

int IsBuiltinAdminGroupMember(AdminGroupToken& token, int* isMember) {
  if (isMember == nullptr) return ZT_ERR_SYSTEM;
  AdminGroupToken::Result result = token.Test();
  if (result.outcome != AdminGroupToken::Outcome::kTested) {
    // Not knowing is not membership: an untested caller is never reported
    // as an administrator.
    *isMember = 0;
    return CaptureSystemError(result.error);
  }
  *isMember = result.tokenAnswer == 1 ? 1 : 0;
  return ZT_OK;
}

}  // namespace ostrel
