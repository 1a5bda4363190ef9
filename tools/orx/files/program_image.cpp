#include "program_image.h"

#include <cstdio>

#include "orx/archive/layout.h"

namespace orx {

const SlotRule kStubRule{"stub", 2, archive::kStubSize, false};
const SlotRule kCleanupRule{"cleanup tool", 3, archive::kCleanupSize, false};
const SlotRule kDecryptorRule{"decryptor", 2, archive::kDecryptorSize, true};

namespace {

constexpr std::uint16_t kMachineI386 = 0x14C;
constexpr std::uint16_t kMachineAmd64 = 0x8664;
constexpr std::uint16_t kExecutableImage = 0x0002;
constexpr std::uint16_t kDll = 0x2000;
constexpr std::uint16_t kPe32 = 0x10B;
constexpr std::uint16_t kPe32Plus = 0x20B;
constexpr std::uint32_t kResourceDirectory = 2;
constexpr std::uint32_t kDialogType = 5;
// The decryptor's password dialog; the stub's progress window has another id.
constexpr std::uint32_t kPasswordDialog = 102;

class Reader {
 public:
  explicit Reader(const std::string& bytes) : b_(bytes) {}
  bool Has(std::uint64_t offset, std::uint64_t size) const {
    return offset <= b_.size() && size <= b_.size() - offset;
  }
  std::uint16_t U16(std::uint64_t at) const {
    return static_cast<std::uint16_t>(Byte(at) | Byte(at + 1) << 8);
  }
  std::uint32_t U32(std::uint64_t at) const {
    return static_cast<std::uint32_t>(U16(at)) | static_cast<std::uint32_t>(U16(at + 2)) << 16;
  }

 private:
  unsigned Byte(std::uint64_t at) const { return static_cast<unsigned char>(b_[at]); }
  const std::string& b_;
};

const char* SubsystemName(std::uint16_t subsystem) {
  return subsystem == 2 ? "GUI" : subsystem == 3 ? "console" : "other";
}

// Whether the resource directory holds the dialog template `id`: an entry
// of type 5 at its top level whose directory lists that name. A directory
// that cannot be read counts as holding none.
bool HasDialogTemplate(const Reader& r, std::uint64_t optional, std::uint16_t optionalSize,
                       bool plus, std::uint64_t sections, std::uint16_t sectionCount,
                       std::uint32_t id) {
  std::uint64_t countAt = optional + (plus ? 108 : 92);
  std::uint64_t entryAt = countAt + 4 + 8 * kResourceDirectory;
  if (entryAt + 8 > optional + optionalSize || r.U32(countAt) <= kResourceDirectory) return false;
  std::uint32_t rva = r.U32(entryAt);
  if (rva == 0) return false;
  for (std::uint16_t i = 0; i < sectionCount; ++i) {
    std::uint64_t s = sections + 40ull * i;
    std::uint32_t virtualSize = r.U32(s + 8), va = r.U32(s + 12), rawSize = r.U32(s + 16),
                  raw = r.U32(s + 20);
    std::uint32_t extent = virtualSize > rawSize ? virtualSize : rawSize;
    if (rva < va || rva - va >= extent) continue;
    std::uint64_t root = static_cast<std::uint64_t>(raw) + (rva - va);
    // The entry of `wanted` (an id, not a name) in the directory at `dir`:
    // its offset from the root, with the subdirectory bit; 0 when absent.
    auto find = [&](std::uint64_t dir, std::uint32_t wanted) -> std::uint32_t {
      if (!r.Has(dir, 16)) return 0;
      std::uint32_t entries = static_cast<std::uint32_t>(r.U16(dir + 12)) + r.U16(dir + 14);
      for (std::uint32_t e = 0; e < entries && r.Has(dir + 16 + 8ull * e, 8); ++e) {
        if (r.U32(dir + 16 + 8ull * e) == wanted) return r.U32(dir + 20 + 8ull * e);
      }
      return 0;
    };
    std::uint32_t dialogs = find(root, kDialogType);
    if (!(dialogs & 0x80000000u)) return false;
    return find(root + (dialogs & 0x7FFFFFFFu), id) != 0;
  }
  return false;
}

}  // namespace

SlotContent DescribeSlot(const std::string& slot) {
  Reader r(slot);
  const SlotContent whole{nullptr, slot.size()};
  if (!r.Has(0, 64) || slot.compare(0, 2, "MZ") != 0) return whole;
  std::uint64_t pe = r.U32(0x3C);
  if (!r.Has(pe, 24) || slot.compare(pe, 4, std::string("PE\0\0", 4)) != 0) return whole;
  const std::uint16_t machine = r.U16(pe + 4), sectionCount = r.U16(pe + 6);
  const std::uint16_t optionalSize = r.U16(pe + 20);
  const std::uint64_t optional = pe + 24, sections = optional + optionalSize;
  const bool plus = machine == kMachineAmd64;
  if ((machine != kMachineI386 && !plus) || optionalSize < 72 ||
      !r.Has(sections, 40ull * sectionCount)) {
    return whole;
  }
  std::uint64_t end = r.U32(optional + 60);  // SizeOfHeaders
  for (std::uint16_t i = 0; i < sectionCount; ++i) {
    std::uint64_t s = sections + 40ull * i;
    std::uint64_t rawEnd = static_cast<std::uint64_t>(r.U32(s + 20)) + r.U32(s + 16);
    if (r.U32(s + 16) && rawEnd > end) end = rawEnd;
  }
  // The certificate table, the one directory addressed by file offset.
  const std::uint64_t security = optional + (plus ? 144 : 128);
  if (security + 8 <= sections && r.U32(optional + (plus ? 108 : 92)) > 4) {
    std::uint64_t certEnd = static_cast<std::uint64_t>(r.U32(security)) + r.U32(security + 4);
    if (r.U32(security + 4) && certEnd > end) end = certEnd;
  }
  return {plus ? "x86-64" : "x86", end < slot.size() ? end : slot.size()};
}

bool CheckSlotProgram(const std::string& image, const SlotRule& rule, const std::string& name,
                      std::string& error) {
  const std::string part = std::string(rule.what) + " " + name;
  if (image.empty()) {
    error = part + " is empty";
    return false;
  }
  if (image.size() > rule.slot) {
    error = part + " is more than " + std::to_string(rule.slot) + " bytes; its slot holds " +
            std::to_string(rule.slot);
    return false;
  }
  Reader r(image);
  if (!r.Has(0, 64) || image[0] != 'M' || image[1] != 'Z') {
    error = part + " is not a Windows program (no MZ header)";
    return false;
  }
  std::uint64_t pe = r.U32(0x3C);
  if (!r.Has(pe, 24) || image.compare(pe, 4, std::string("PE\0\0", 4)) != 0) {
    error = part + " is not a Windows program (no PE header)";
    return false;
  }
  std::uint16_t machine = r.U16(pe + 4), sectionCount = r.U16(pe + 6);
  std::uint16_t optionalSize = r.U16(pe + 20), characteristics = r.U16(pe + 22);
  std::uint64_t optional = pe + 24;
  if (machine != kMachineI386 && machine != kMachineAmd64) {
    char hex[8];
    std::snprintf(hex, sizeof hex, "%04X", machine);
    error = part + " is built for another processor (machine 0x" + hex +
            "), not x86 or x86-64";
    return false;
  }
  if (!(characteristics & kExecutableImage) || (characteristics & kDll)) {
    error = part + " is a DLL or an object file, not a program";
    return false;
  }
  std::uint16_t expectedMagic = machine == kMachineAmd64 ? kPe32Plus : kPe32;
  if (optionalSize < 72 || !r.Has(optional, optionalSize) || r.U16(optional) != expectedMagic) {
    error = part + " has a damaged PE optional header";
    return false;
  }
  std::uint16_t subsystem = r.U16(optional + 68);
  if (subsystem != rule.subsystem) {
    error = part + " is a " + SubsystemName(subsystem) + " program; the " + rule.what +
            " must be a " + SubsystemName(rule.subsystem) + " program";
    return false;
  }
  std::uint64_t sections = optional + optionalSize;
  if (!r.Has(sections, 40ull * sectionCount)) {
    error = part + " is cut short: its section table ends past the end of the file";
    return false;
  }
  for (std::uint16_t i = 0; i < sectionCount; ++i) {
    std::uint64_t s = sections + 40ull * i;
    std::uint64_t rawSize = r.U32(s + 16), raw = r.U32(s + 20);
    if (rawSize && !r.Has(raw, rawSize)) {
      error = part + " is cut short: a section ends past the end of the file";
      return false;
    }
  }
  bool dialog = HasDialogTemplate(r, optional, optionalSize, expectedMagic == kPe32Plus,
                                  sections, sectionCount, kPasswordDialog);
  if (dialog != rule.dialog) {
    error = part + (rule.dialog ? " carries no password dialog template: it is not the "
                                  "decryptor (the stub?)"
                                : " carries the password dialog template: it looks like the "
                                  "decryptor, not the " + std::string(rule.what));
    return false;
  }
  return true;
}

}  // namespace orx
