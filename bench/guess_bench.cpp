// What one password guess costs an attacker who holds a payload, in each
// format, through the code the readers run (UnlockPayload: the key
// derivation, the unwrapping and the check against keyCheck), on one core.
// A guess needs nothing else: keyCheck tells a right password from a wrong
// one. Both formats are measured in the same run, so the ratio, not the
// machine, is the figure.
//
//   guess_bench [SECONDS-PER-FORMAT] [ITERATIONS]   (default 6 s)
// ITERATIONS is format 2's cost (default: what orx pack writes). The last
// line is "ratio format 2 / format 1 (time per guess, ...): N", against the
// cheaper of format 1's key lengths.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "payload/payload_open.h"

using namespace orx;

namespace {

// Guesses per second: wrong passwords tried one after the other until
// `seconds` have passed (at least `least` of them).
double GuessRate(const payload::PayloadHeader& header, double seconds, int least) {
  using Clock = std::chrono::steady_clock;
  const auto start = Clock::now();
  long guesses = 0;
  double elapsed = 0;
  char text[32];
  while (guesses < least || elapsed < seconds) {
    std::snprintf(text, sizeof text, "guess%ld", guesses);
    uint16_t units[16];
    size_t n = std::strlen(text);
    for (size_t i = 0; i < n; ++i) units[i] = static_cast<unsigned char>(text[i]);
    payload::PasswordBytes password;
    payload::FileKey key;
    if (payload::PasswordBytesFor(header.format, units, n, &password) != payload::kOk ||
        payload::UnlockPayload(header, password.bytes, password.length, &key) !=
            payload::kWrongPassword) {
      std::fprintf(stderr, "a guess did not end as a wrong password\n");
      std::exit(1);
    }
    ++guesses;
    elapsed = std::chrono::duration<double>(Clock::now() - start).count();
  }
  return guesses / elapsed;
}

}  // namespace

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 6.0;
  const uint32_t iterations =
      argc > 2 ? static_cast<uint32_t>(std::strtoul(argv[2], nullptr, 10))
               : payload::kDefaultIterations;
  if (iterations < payload::kMinIterations || iterations > payload::kMaxIterations) {
    std::fprintf(stderr, "iterations must be within the readers' bounds\n");
    return 2;
  }
  // Headers with random key fields: every guess is a wrong password, which
  // costs what a right one does.
  payload::PayloadHeader one = {}, one128;
  one.format = 1;
  one.keyBytes = 32;
  payload::PayloadHeader two = {};
  two.format = 2;
  two.keyBytes = 32;
  two.iterations = iterations;
  if (!crypto::RandomBytes(one.wrappedKey, sizeof one.wrappedKey) ||
      !crypto::RandomBytes(one.keyCheck, sizeof one.keyCheck) ||
      !crypto::RandomBytes(two.salt, sizeof two.salt) ||
      !crypto::RandomBytes(two.keyIv, sizeof two.keyIv) ||
      !crypto::RandomBytes(two.wrappedKey, sizeof two.wrappedKey) ||
      !crypto::RandomBytes(two.keyCheck, sizeof two.keyCheck)) {
    return 2;
  }
  one128 = one;
  one128.keyBytes = 16;
  // Interleaved rounds, the best of each: the machine is shared, and a
  // round slowed by another program would skew one format only.
  double rate1 = 0, rate1Short = 0, rate2 = 0;
  for (int round = 0; round < 3; ++round) {
    rate1 = std::max(rate1, GuessRate(one, seconds / 3, 1000));
    rate1Short = std::max(rate1Short, GuessRate(one128, seconds / 3, 1000));
    rate2 = std::max(rate2, GuessRate(two, seconds / 3, 3));
  }
  // The attacker takes the cheaper kind of format-1 payload.
  const double fastest1 = rate1Short > rate1 ? rate1Short : rate1;
  std::printf("password guesses through UnlockPayload, one thread, best of 3 rounds of %.1f s\n",
              seconds / 3);
  std::printf("  format 1, AES-256 (MD5, AES, SHA-1):              %12.1f guesses/s\n", rate1);
  std::printf("  format 1, AES-128:                                %12.1f guesses/s\n",
              rate1Short);
  std::printf("  format 2 (PBKDF2-HMAC-SHA256, %7u iterations): %12.2f guesses/s\n", iterations,
              rate2);
  std::printf("ratio format 2 / format 1 (time per guess, the cheaper format 1): %.0f\n",
              fastest1 / rate2);
  return 0;
}
