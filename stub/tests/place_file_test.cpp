// Placing a file at a fixed path when its entry cannot be removed or is
// raced: a user without the right to remove it (file virtualisation, access
// lists) and someone planting a hard link between the removal and the
// creation. Wine removes what the test owns and lets nobody race the stub,
// so the removal is stood in for; everything else is real files under Wine.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "orxtest/driver.h"
#include "place_file.h"

namespace {

using Bytes = std::vector<unsigned char>;

const std::wstring kRoot = L"C:\\orx-tests\\place";
const std::wstring kTarget = kRoot + L"\\target.bin";
const std::wstring kVictim = kRoot + L"\\victim.bin";
int g_plants = 0;  // links still to plant behind a removal; -1: at every one

// The entry stays: this user may not remove it.
struct RefusedRemoval {
  static BOOL Remove(const wchar_t*) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
};
// Someone makes the name a hard link to the victim right after the removal.
struct RacedRemoval {
  static BOOL Remove(const wchar_t* path) {
    BOOL removed = DeleteFileW(path);
    if (g_plants != 0) {
      if (g_plants > 0) --g_plants;
      CreateHardLinkW(path, kVictim.c_str(), nullptr);
    }
    return removed;
  }
};

Bytes Pattern(size_t size, unsigned seed) {
  Bytes b(size);
  for (size_t i = 0; i < size; ++i) b[i] = static_cast<unsigned char>((i * 197 + seed) >> 2);
  return b;
}

// Also: a file that cannot be completed does not stay half-written. (An
// entry this user may neither remove nor write, Denied at once, needs a
// user without rights: the archive's standard-user suite meets it.)
TEST(PlaceFile, NeverWritesThroughALinkWhenTheEntryStaysOrComesBack) {
  enum class At { Nothing, OtherFile, LinkToVictim };
  struct Case {
    const char* name;
    bool raced;   // RacedRemoval, else RefusedRemoval
    int plants;   // links planted behind removals (-1: at every one)
    At at;        // what stands at the path before
    bool readable;  // the source can be read
    stub::Placed result;
  };
  using P = stub::Placed;
  const Case cases[] = {
      {"not removable, a plain file: written in place", false, 0, At::OtherFile, true, P::Written},
      {"not removable, a link: refused", false, 0, At::LinkToVictim, true, P::Failed},
      {"a link planted once behind the removal", true, 1, At::OtherFile, true, P::Written},
      {"a link planted behind every removal", true, -1, At::LinkToVictim, true, P::Failed},
      {"a new file the source fails: removed", true, 0, At::Nothing, false, P::ReadFailed},
      {"a file in place the source fails: emptied", false, 0, At::OtherFile, false, P::ReadFailed},
  };
  CreateDirectoryW(L"C:\\orx-tests", nullptr);
  CreateDirectoryW(kRoot.c_str(), nullptr);
  // The source spans several chunks and starts inside the file.
  const std::wstring sourcePath = kRoot + L"\\source.bin";
  const Bytes sourceBytes = Pattern(150000, 1);
  ASSERT_TRUE(orxtest::WriteBytes(sourcePath, sourceBytes.data(), sourceBytes.size()));
  const Bytes expected(sourceBytes.begin() + 1000, sourceBytes.end());
  const Bytes victimBytes = Pattern(5000, 2);
  static unsigned char copy[0x10000], compare[0x10000];
  const stub::Buffers buffers = {copy, compare};

  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DeleteFileW(kTarget.c_str());
    DeleteFileW(kVictim.c_str());
    ASSERT_TRUE(orxtest::WriteBytes(kVictim, victimBytes.data(), victimBytes.size()));
    const Bytes other = Pattern(200000, 3);
    if (c.at == At::OtherFile) {
      ASSERT_TRUE(orxtest::WriteBytes(kTarget, other.data(), other.size()));
    } else if (c.at == At::LinkToVictim) {
      ASSERT_TRUE(CreateHardLinkW(kTarget.c_str(), kVictim.c_str(), nullptr));
    }
    g_plants = c.plants;

    HANDLE source = CreateFileW(sourcePath.c_str(), c.readable ? GENERIC_READ : GENERIC_WRITE, 0,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(source, INVALID_HANDLE_VALUE);
    const stub::Source from = {source, 1000, stub::kToEnd};
    DWORD start = GetTickCount();
    stub::Placement placed =
        c.raced ? stub::PlaceFile<RacedRemoval>(kTarget.c_str(), from, buffers, 1000)
                : stub::PlaceFile<RefusedRemoval>(kTarget.c_str(), from, buffers, 1000);
    DWORD elapsed = GetTickCount() - start;
    CloseHandle(source);

    EXPECT_EQ(placed.how, c.result);
    EXPECT_EQ(orxtest::ReadBytes(kVictim), victimBytes) << "written through a link";
    switch (c.result) {
      case P::Written:
        EXPECT_EQ(orxtest::ReadBytes(kTarget), expected);
        EXPECT_EQ(orxtest::LinkCount(kTarget), 1u);
        EXPECT_LT(elapsed, 1000u);
        break;
      case P::ReadFailed:
        EXPECT_EQ(orxtest::FileExists(kTarget), c.at != At::Nothing);
        EXPECT_EQ(orxtest::ReadBytes(kTarget), Bytes()) << "left half-written";
        break;
      default:
        EXPECT_GE(elapsed, 1000u) << "gave up before the wait was over";
    }
  }
  g_plants = 0;
}

}  // namespace
