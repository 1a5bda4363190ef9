// Placing a file at a fixed path when its entry cannot be removed or is
// raced: a user without the right to remove it (file virtualisation, access
// lists) and someone planting a hard link between the removal and the
// creation. Wine removes what the test owns and lets nobody race the stub,
// so the removal is stood in for; everything else is real files under Wine.
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "orxtest/driver.h"
#include "place_file.h"

#include <sddl.h>

namespace {

using Bytes = std::vector<unsigned char>;

const std::wstring kRoot = L"C:\\orx-tests\\place";
const std::wstring kTarget = kRoot + L"\\target.bin";

// The placing buffers, shared by the tables (one test runs at a time).
unsigned char g_copy[0x10000], g_compare[0x10000];
const stub::Buffers kBuffers = {g_copy, g_compare};

// A source file `name` holding `bytes` in the tests' folder; its path, or
// an empty one when it could not be written.
std::wstring WriteSource(const wchar_t* name, const Bytes& bytes) {
  CreateDirectoryW(L"C:\\orx-tests", nullptr);
  CreateDirectoryW(kRoot.c_str(), nullptr);
  std::wstring path = kRoot + L"\\" + name;
  return orxtest::WriteBytes(path, bytes.data(), bytes.size()) ? path : std::wstring();
}

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

// This user, and files made with no access list of their own.
stub::Rights Rights() {
  static stub::TokenSids sids;
  static bool read = stub::ReadTokenSids(&sids);
  EXPECT_TRUE(read);
  return {&sids, nullptr};
}

Bytes Pattern(size_t size, unsigned seed) {
  Bytes b(size);
  for (size_t i = 0; i < size; ++i) b[i] = static_cast<unsigned char>((i * 197 + seed) >> 2);
  return b;
}

// The source, open for reading alone, and, when `inUse`, the target held
// open for reading by someone who lets nobody write: a copy in use. Both
// are let go of by Close, before the target is looked at.
struct OpenFiles {
  OpenFiles(const std::wstring& sourcePath, bool inUse)
      : source(CreateFileW(sourcePath.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr)),
        holder(inUse ? CreateFileW(kTarget.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                   OPEN_EXISTING, 0, nullptr)
                     : INVALID_HANDLE_VALUE) {}
  ~OpenFiles() { Close(); }
  void Close() {
    for (HANDLE* h : {&source, &holder}) {
      if (*h != INVALID_HANDLE_VALUE) CloseHandle(*h);
      *h = INVALID_HANDLE_VALUE;
    }
  }
  HANDLE source, holder;
};

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
  // The source spans several chunks and starts inside the file.
  const Bytes sourceBytes = Pattern(150000, 1);
  const std::wstring sourcePath = WriteSource(L"source.bin", sourceBytes);
  ASSERT_FALSE(sourcePath.empty());
  const Bytes expected(sourceBytes.begin() + 1000, sourceBytes.end());
  const Bytes victimBytes = Pattern(5000, 2);

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
        c.raced ? stub::PlaceFile<RacedRemoval>(kTarget.c_str(), from, kBuffers, Rights(), 1000)
                : stub::PlaceFile<RefusedRemoval>(kTarget.c_str(), from, kBuffers, Rights(), 1000);
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

// The payload's progress is told of every chunk, written or compared with a
// copy in use, and may cancel: the call ends at once and leaves nothing of
// its own, a new file removed, one written in place emptied, one in use
// (an earlier run's) as it was.
struct CancelAt : stub::Progress {
  explicit CancelAt(int chunk) : stub::Progress{&Advance}, last(chunk) {}
  static bool Advance(stub::Progress* self, ULONGLONG walked) {
    CancelAt* me = static_cast<CancelAt*>(self);
    me->told.push_back(walked);
    return static_cast<int>(me->told.size()) < me->last;
  }
  int last;
  std::vector<ULONGLONG> told;
};

TEST(PlaceFile, ItsProgressCanCancelAndNothingHalfWrittenStays) {
  enum class At { Nothing, OtherFile, SameBytesInUse };
  struct Case {
    const char* name;
    At at;
    bool exists;  // afterwards
  };
  const Case cases[] = {
      {"a new file: removed", At::Nothing, false},
      {"a file written in place: emptied", At::OtherFile, true},
      {"a copy in use being compared: kept as it was", At::SameBytesInUse, true},
  };
  const Bytes sourceBytes = Pattern(300000, 7);
  const std::wstring sourcePath = WriteSource(L"cancel-source.bin", sourceBytes);
  ASSERT_FALSE(sourcePath.empty());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DeleteFileW(kTarget.c_str());
    const Bytes before = c.at == At::SameBytesInUse ? sourceBytes : Pattern(3000, 8);
    if (c.at != At::Nothing) {
      ASSERT_TRUE(orxtest::WriteBytes(kTarget, before.data(), before.size()));
    }
    OpenFiles files(sourcePath, c.at == At::SameBytesInUse);
    CancelAt progress(2);
    stub::Source from = {files.source, 0, stub::kToEnd, &progress};
    stub::Placement placed = c.at == At::Nothing
        ? stub::PlaceFile(kTarget.c_str(), from, kBuffers, Rights(), 1000)
        : stub::PlaceFile<RefusedRemoval>(kTarget.c_str(), from, kBuffers, Rights(), 1000);
    files.Close();
    EXPECT_EQ(placed.how, stub::Placed::Cancelled);
    EXPECT_EQ(progress.told, (std::vector<ULONGLONG>{65535, 131070})) << "not told per chunk";
    EXPECT_EQ(orxtest::FileExists(kTarget), c.exists);
    EXPECT_EQ(orxtest::ReadBytes(kTarget), c.at == At::SameBytesInUse ? sourceBytes : Bytes());
  }
}

// Whose an entry is decides whether it may be used: the stub writes in
// place, or keeps, only a file of this user's, the Administrators' or the
// system's. Wine shows every file as the running user's, so the owner is
// stood in for; the decision on it is the real one.
const wchar_t* g_owner = nullptr;  // SID string, or null for the running user
bool g_ownerless = false;          // a volume that keeps no owners (FAT)
struct GivenOwnership {
  static bool KeepsOwners(HANDLE) { return !g_ownerless; }
  static bool OwnerOf(HANDLE file, unsigned char (&owner)[SECURITY_MAX_SID_SIZE]) {
    if (!g_owner) return stub::SystemOwnership::OwnerOf(file, owner);
    PSID sid = nullptr;
    if (!ConvertStringSidToSidW(g_owner, &sid)) return false;
    bool copied = CopySid(sizeof owner, owner, sid);
    LocalFree(sid);
    return copied;
  }
};

TEST(PlaceFile, UsesAnEntryItDidNotMakeOnlyWhenItsOwnerIsTrusted) {
  enum class Entry { WrittenInPlace, KeptInUse };
  struct Case {
    const wchar_t* owner;
    Entry entry;
    stub::Placed result;
    bool ownerless = false;
  };
  using P = stub::Placed;
  const Case cases[] = {
      {nullptr, Entry::WrittenInPlace, P::Written},
      {L"BA", Entry::WrittenInPlace, P::Written},        // Administrators
      {L"SY", Entry::WrittenInPlace, P::Written},        // the system
      {L"S-1-5-21-1-2-3-1001", Entry::WrittenInPlace, P::Denied},
      {L"S-1-5-7", Entry::WrittenInPlace, P::Denied},    // anonymous
      {nullptr, Entry::KeptInUse, P::Kept},
      {L"BA", Entry::KeptInUse, P::Kept},
      {L"S-1-5-21-1-2-3-1001", Entry::KeptInUse, P::Denied},
      // FAT names Everyone, a share without access lists a Unix user: the
      // same bytes held in use are kept there; another's file in place is not.
      {L"WD", Entry::KeptInUse, P::Kept, true},
      {L"S-1-22-1-1000", Entry::KeptInUse, P::Kept, true},
      {L"WD", Entry::WrittenInPlace, P::Denied, true},
  };
  const Bytes sourceBytes = Pattern(70000, 5);
  const std::wstring sourcePath = WriteSource(L"owned-source.bin", sourceBytes);
  ASSERT_FALSE(sourcePath.empty());
  for (const Case& c : cases) {
    SCOPED_TRACE(orxtest::WideToUtf8(c.owner ? c.owner : L"this user") +
                 (c.entry == Entry::KeptInUse ? ", kept in use" : ", written in place") +
                 (c.ownerless ? ", on a volume without owners" : ""));
    DeleteFileW(kTarget.c_str());
    const Bytes before = c.entry == Entry::KeptInUse ? sourceBytes : Pattern(3000, 6);
    ASSERT_TRUE(orxtest::WriteBytes(kTarget, before.data(), before.size()));
    OpenFiles files(sourcePath, c.entry == Entry::KeptInUse);
    g_owner = c.owner;
    g_ownerless = c.ownerless;
    stub::Placement placed = stub::PlaceFile<RefusedRemoval, GivenOwnership>(
        kTarget.c_str(), {files.source, 0, stub::kToEnd}, kBuffers, Rights(), 1000);
    g_owner = nullptr;
    g_ownerless = false;
    files.Close();
    EXPECT_EQ(placed.how, c.result);
    EXPECT_EQ(orxtest::ReadBytes(kTarget), c.result == P::Denied ? before : sourceBytes);
  }
}

}  // namespace

namespace {

// What the stub makes and what the decryptor then starts, by who runs them.
// An elevated run (the token's owner for new objects is the Administrators
// group) gives the user no entry, so that the same user's unelevated
// programs cannot change the cleanup tool; the decryptor starts a program
// file only under the same rules. Wine runs every program with one token,
// so the elevated one is stood in for by its owner; the access lists are
// built and read by the system's own calls.
TEST(CompanionRights, AnElevatedRunMakesWhatOnlyAdministratorsChangeAndStartsOnlyThat) {
  stub::TokenSids plain = {}, elevated = {};
  ASSERT_TRUE(stub::ReadTokenSids(&plain));
  ASSERT_FALSE(archive::IsElevated(plain)) << "Wine's token names the user as its owner";
  elevated.user.User.Sid = elevated.userBytes + sizeof(TOKEN_USER);
  ASSERT_TRUE(CopySid(SECURITY_MAX_SID_SIZE, elevated.user.User.Sid, plain.user.User.Sid));
  elevated.owner.Owner = elevated.ownerBytes + sizeof(TOKEN_OWNER);
  DWORD size = SECURITY_MAX_SID_SIZE;
  ASSERT_TRUE(CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, elevated.owner.Owner, &size));
  ASSERT_TRUE(archive::IsElevated(elevated));
  PSID user = plain.user.User.Sid;

  auto sid = [](const wchar_t* text) {
    static std::vector<std::vector<unsigned char>> kept;
    PSID made = nullptr;
    EXPECT_TRUE(ConvertStringSidToSidW(text, &made));
    kept.emplace_back(static_cast<unsigned char*>(made),
                      static_cast<unsigned char*>(made) + GetLengthSid(made));
    LocalFree(made);
    return static_cast<PSID>(kept.back().data());
  };
  // The access the stub gives what it makes, for each kind of run, and an
  // older run's, which let the user in.
  stub::PrivateAccess forPlain, forElevated;
  ASSERT_TRUE(stub::BuildPrivateAccess(user, true, &forPlain));
  ASSERT_TRUE(stub::BuildPrivateAccess(archive::IsElevated(elevated) ? nullptr : user, true,
                                       &forElevated));
  auto grantsUser = [&](const ACL& acl) {
    for (DWORD i = 0; i < acl.AceCount; ++i) {
      ACCESS_ALLOWED_ACE* ace = nullptr;
      GetAce(const_cast<ACL*>(&acl), i, reinterpret_cast<void**>(&ace));
      if (EqualSid(&ace->SidStart, user)) return true;
    }
    return false;
  };
  EXPECT_TRUE(grantsUser(forPlain.acl));
  EXPECT_FALSE(grantsUser(forElevated.acl)) << "an elevated run's files let the user in";
  EXPECT_EQ(forElevated.acl.AceCount, 2);

  struct Row {
    const char* what;
    bool elevatedRun;
    PSID owner;
    const ACL* dacl;
    bool starts;
  };
  const Row rows[] = {
      {"a run's own tool", false, user, &forPlain.acl, true},
      {"an elevated run's own tool", true, sid(L"BA"), &forElevated.acl, true},
      {"the system's", true, sid(L"SY"), &forElevated.acl, true},
      {"an older run's, open to the user", true, sid(L"BA"), &forPlain.acl, false},
      {"one the user's programs put there", true, user, &forElevated.acl, false},
      {"one without an access list", true, sid(L"BA"), nullptr, false},
      {"the Administrators' in a plain run", false, sid(L"BA"), &forPlain.acl, true},
      {"another user's", false, sid(L"S-1-5-21-1-2-3-1001"), &forPlain.acl, false},
      {"nobody's", false, nullptr, &forPlain.acl, false},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(archive::MayStart(row.owner, const_cast<ACL*>(row.dacl), user, row.elevatedRun),
              row.starts)
        << row.what;
  }
}

}  // namespace
