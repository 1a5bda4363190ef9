// The owners of secrets (keys, password bytes, password text, plaintext in
// transit): each holds its secret in place and wipes it on every way out,
// so that no path can forget a wipe. Two shapes, and no others:
//   Secret<T>            a fixed secret: a key, a block of password bytes, a
//                        buffer, a struct of them; its `value` is the secret.
//   SecretText<Unit, N>  secret text of varying length (a typed password, a
//                        line of a password file): up to N units, a count
//                        and a terminating zero; a unit past N is refused.
// Header-only, without the C++ runtime and without the heap, for the
// smallest programs. SecureWipe is the primitive under both.
#pragma once

#include <stddef.h>

#include "orx/secure_wipe.h"

namespace orx {

// A fixed secret held in place, wiped when made and when its owner goes.
template <typename T>
struct Secret {
  T value;
  Secret() { SecureWipe(&value, sizeof value); }
  Secret(const Secret&) = delete;
  Secret& operator=(const Secret&) = delete;
  ~Secret() { SecureWipe(&value, sizeof value); }
};

// Secret text: `Capacity` units at most, always followed by a zero unit.
// Whatever is taken back (Clear, Shorten) is wiped at once, the rest when
// the owner goes.
template <typename Unit, size_t Capacity>
class SecretText {
 public:
  static constexpr size_t kCapacity = Capacity;

  SecretText() { Clear(); }
  SecretText(const SecretText&) = delete;
  SecretText& operator=(const SecretText&) = delete;
  ~SecretText() { Clear(); }

  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  bool full() const { return size_ == Capacity; }
  const Unit* data() const { return units_; }  // size() units, then a zero
  Unit operator[](size_t i) const { return units_[i]; }
  Unit back() const { return size_ ? units_[size_ - 1] : Unit(); }

  // Appends `count` units, or none (false) when they do not all fit.
  bool Append(const Unit* units, size_t count) {
    if (count > Capacity - size_) return false;
    for (size_t i = 0; i < count; ++i) units_[size_++] = units[i];
    units_[size_] = Unit();
    return true;
  }
  bool Append(Unit unit) { return Append(&unit, 1); }

  // Keeps the first `size` units (all of them when there are fewer).
  void Shorten(size_t size) {
    if (size >= size_) return;
    SecureWipe(units_ + size, (size_ - size) * sizeof(Unit));
    size_ = size;
  }
  void Clear() {
    SecureWipe(units_, sizeof units_);
    size_ = 0;
  }

  // The same units, compared without stopping at the first difference.
  bool Equals(const SecretText& other) const {
    if (size_ != other.size_) return false;
    Unit difference = Unit();
    for (size_t i = 0; i < size_; ++i) difference |= units_[i] ^ other.units_[i];
    return difference == Unit();
  }

 private:
  Unit units_[Capacity + 1];
  size_t size_ = 0;
};

}  // namespace orx
