// The crypto port's states (payload/crypto_port.h, payload/cfb128.h) held by
// the shared owner, so that they are released on every way out.
#pragma once

#include "orx/unique_handle.h"
#include "payload/cfb128.h"
#include "payload/crypto_port.h"

namespace orx {

struct Sha1StateTraits {
  using Type = crypto::Sha1*;
  static Type None() { return nullptr; }
  static void Release(Type state) { crypto::Sha1Release(state); }
};
struct HmacStateTraits {
  using Type = crypto::HmacSha256*;
  static Type None() { return nullptr; }
  static void Release(Type state) { crypto::HmacSha256Release(state); }
};
struct Cfb128StateTraits {
  using Type = crypto::Cfb128*;
  static Type None() { return nullptr; }
  static void Release(Type state) { crypto::Cfb128Release(state); }
};
// Each owns the release of a state that lives elsewhere (on the stack, in a
// member), not its memory.
using Sha1Owner = UniqueHandle<Sha1StateTraits>;
using Cfb128Owner = UniqueHandle<Cfb128StateTraits>;
using HmacOwner = UniqueHandle<HmacStateTraits>;

}  // namespace orx
