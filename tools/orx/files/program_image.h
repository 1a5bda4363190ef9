// Whether a file is a Windows program that can serve in an archive slot.
//
// The stub runs whatever lies in its slots, so a wrong file there makes an
// archive that fails only on the recipient's machine. The checks read the
// image's headers: an executable PE image (not a DLL) for x86 or x86-64, of
// the subsystem the slot needs, not cut short, fitting its slot. The stub and
// the decryptor are both GUI programs; the decryptor carries its password
// dialog as the dialog template resource 102 and the stub does not (its
// progress window is another template), which tells the two apart when they
// are given in each other's place.
#pragma once

#include <cstdint>
#include <string>

namespace orx {

struct SlotRule {
  const char* what;  // "stub", "cleanup tool", "decryptor"
  std::uint16_t subsystem;  // 2 GUI, 3 console
  std::uint64_t slot;       // bytes
  bool dialog;              // must carry the password dialog template (or must not)
};

extern const SlotRule kStubRule;
extern const SlotRule kCleanupRule;
extern const SlotRule kDecryptorRule;

// `image` is the whole file (at most slot + 1 bytes were read: more means it
// does not fit). False with `error` naming the part and what is wrong.
bool CheckSlotProgram(const std::string& image, const SlotRule& rule, const std::string& name,
                      std::string& error);

// What a slot of an archive holds, as inspect shows it: the program's
// machine ("x86", "x86-64"; null for anything that is not a PE image of
// either) and its own length, the end of its headers and sections (and of
// its signature, if any), so that the padding behind it is left out and
// the bytes are those of the program file. For what is not a program, the
// whole slot.
struct SlotContent {
  const char* machine;
  std::uint64_t bytes;
};
SlotContent DescribeSlot(const std::string& slot);

}  // namespace orx
