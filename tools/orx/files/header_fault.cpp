#include "header_fault.h"

#include "payload/payload_header.h"

namespace orx {

std::string DescribeHeaderFault(int code) {
  switch (code) {
    case payload::kHeaderTruncated: return "the payload ends inside its header";
    case payload::kBadSignature: return "the payload signature is wrong";
    case payload::kNameTooLong: return "the stored name is longer than 2,046 bytes";
    case payload::kBadKeyBytes: return "the key length is not 16, 24 or 32 bytes";
    case payload::kBadStoredName: return "the stored name is not a plain file name";
    case payload::kPayloadTooShort:
      return "the payload is too short for its header and its digest or tag";
    case payload::kBadVersion: return "the payload's format version is not 2";
    case payload::kBadKdf: return "the key derivation is not PBKDF2-HMAC-SHA256 (1)";
    case payload::kBadCost:
      return "the key derivation's cost is outside " + std::to_string(payload::kMinIterations) +
             " to " + std::to_string(payload::kMaxIterations) + " iterations";
    case payload::kOddNameBytes: return "the stored name's length is an odd number of bytes";
    case payload::kStreamFailed: return "the payload file cannot be measured";
    default: return "the payload header is malformed (code " + std::to_string(code) + ")";
  }
}

}  // namespace orx
