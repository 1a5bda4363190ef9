// The cleanup tool, run for real under Wine. Each scenario takes the tool's
// full 5.5 seconds, so related scenarios run side by side and are checked
// together; the time margins allow for a loaded machine.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "orxtest/driver.h"

namespace {

std::wstring Tool() { return orxtest::ModuleFolder() + L"\\Orx_DelTool.exe"; }

std::wstring Folder() {
  CreateDirectoryW(L"C:\\orx-tests", nullptr);
  CreateDirectoryW(L"C:\\orx-tests\\cleanup", nullptr);
  return L"C:\\orx-tests\\cleanup";
}

void Touch(const std::wstring& path) { ASSERT_TRUE(orxtest::WriteBytes(path, "x", 1)); }

// Opens a file the way a running program holds it: others may read it but
// not delete it.
HANDLE Hold(const std::wstring& path) {
  return CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                     nullptr);
}

struct ToolRun {
  orxtest::Process process;
  DWORD started;
};

ToolRun StartTool(const std::wstring& arguments, const std::wstring& folder) {
  ToolRun r{orxtest::Start(L"\"" + Tool() + L"\" " + arguments, folder), GetTickCount()};
  EXPECT_NE(r.process.handle, nullptr);
  return r;
}

// Waits for the end; returns the exit code and the time it took in ms.
std::pair<int, DWORD> Finish(ToolRun& r) {
  int code = orxtest::WaitExit(r.process, 30000);
  DWORD took = GetTickCount() - r.started;
  orxtest::Close(r.process);
  return {code, took};
}

TEST(CleanupTool, DeletesAtTheFirstOrTheSecondAttempt) {
  std::wstring dir = Folder();
  std::wstring free = dir + L"\\free file.bin";
  std::wstring briefly = dir + L"\\held briefly.bin";
  std::wstring long_held = dir + L"\\held long.bin";
  std::wstring relative = L"relative.bin";
  for (const auto& f : {free, briefly, long_held, dir + L"\\" + relative}) Touch(f);
  HANDLE brief = Hold(briefly);
  HANDLE longer = Hold(long_held);
  ASSERT_NE(brief, INVALID_HANDLE_VALUE);
  ASSERT_NE(longer, INVALID_HANDLE_VALUE);

  ToolRun runs[] = {StartTool(L"\"" + free + L"\"", dir), StartTool(L"\"" + briefly + L"\"", dir),
                StartTool(L"\"" + long_held + L"\"", dir),
                // A relative path is taken against the inherited current folder.
                StartTool(L"\"" + relative + L"\"", dir)};

  // The first attempt comes half a second after the start.
  Sleep(2000);
  EXPECT_FALSE(orxtest::FileExists(free)) << "a free file goes at the first attempt";
  EXPECT_FALSE(orxtest::FileExists(dir + L"\\" + relative));
  EXPECT_TRUE(orxtest::FileExists(briefly));
  CloseHandle(brief);  // free it well before the second attempt at 5.5 s

  Sleep(1500);
  EXPECT_TRUE(orxtest::FileExists(briefly)) << "no attempt between the first and the second";
  for (ToolRun& r : runs) {
    auto [code, took] = Finish(r);
    EXPECT_EQ(code, 0);
    EXPECT_GE(took, 5000u) << "the tool waits for its second attempt";
  }
  EXPECT_FALSE(orxtest::FileExists(briefly)) << "freed by the second attempt";
  EXPECT_TRUE(orxtest::FileExists(long_held)) << "still held after 5.5 s: it stays";
  CloseHandle(longer);
  DeleteFileW(long_held.c_str());
}

TEST(CleanupTool, ChangesNothingForArgumentsThatAreNotOneFile) {
  std::wstring dir = Folder() + L"\\untouched";
  CreateDirectoryW(dir.c_str(), nullptr);
  std::wstring with_blank = dir + L"\\two words.bin";
  std::wstring sub = dir + L"\\a folder";
  std::wstring a1 = dir + L"\\a1.tmp", a2 = dir + L"\\a2.tmp";
  for (const auto& f : {with_blank, a1, a2}) Touch(f);
  CreateDirectoryW(sub.c_str(), nullptr);

  struct Case {
    std::wstring args;
    bool endsAtOnce;  // no waiting when the arguments are not exactly one
  } cases[] = {
      {L"", true},
      {with_blank, true},  // unquoted: split into two arguments
      {L"\"" + with_blank + L"\" \"" + a1 + L"\"", true},
      {L"\"" + sub + L"\"", false},
      {L"\"" + dir + L"\\missing.bin\"", false},
      {L"\"" + dir + L"\\a*.tmp\"", false},  // used literally, never expanded
  };
  std::vector<ToolRun> runs;
  for (const Case& c : cases) runs.push_back(StartTool(c.args, dir));
  for (size_t i = 0; i < runs.size(); ++i) {
    auto [code, took] = Finish(runs[i]);
    SCOPED_TRACE(orxtest::WideToUtf8(cases[i].args));
    EXPECT_EQ(code, 0);
    if (cases[i].endsAtOnce) EXPECT_LT(took, 4000u);
  }
  EXPECT_TRUE(orxtest::FileExists(with_blank));
  EXPECT_TRUE(orxtest::FileExists(a1));
  EXPECT_TRUE(orxtest::FileExists(a2));
  EXPECT_NE(GetFileAttributesW(sub.c_str()), INVALID_FILE_ATTRIBUTES);
}

}  // namespace
