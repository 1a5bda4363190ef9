// The messenger version refresh against a program with a real version
// resource, registered the way the messenger registers its folder.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "expectations.h"
#include "ostrel.h"
#include "registry_keys.h"

namespace ostrel::wine {
namespace {

std::wstring ProgramFolder() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder = path;
  return folder.substr(0, folder.find_last_of(L'\\') + 1);
}

std::wstring MessengerRoot() {
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  return std::wstring(temp) + L"ostrel msn\\";
}

// Deletes a folder (with its trailing backslash) and everything in it.
void DeleteFolder(const std::wstring& folder) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      std::wstring name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        DeleteFolder(folder + name + L"\\");
      } else {
        DeleteFileW((folder + name).c_str());
      }
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  RemoveDirectoryW(folder.c_str());
}

// Makes a folder of exactly `chars` characters, its trailing backslash
// included, with a copy of the stand-in messenger program in it.
std::wstring MessengerFolder(std::size_t chars) {
  std::wstring folder = MessengerRoot();
  CreateDirectoryW(folder.c_str(), nullptr);
  if (folder.size() < chars) {
    folder += std::wstring(chars - folder.size() - 1, L'm') + L"\\";
  }
  CreateDirectoryW(folder.c_str(), nullptr);
  CopyFileW((ProgramFolder() + L"msnmsgr.exe").c_str(), (folder + L"msnmsgr.exe").c_str(), FALSE);
  return folder;
}

class MessengerRefreshTest : public ::testing::Test {
 protected:
  void SetUp() override {
    DeleteSettingsKey();
    DeleteKey(kMessengerKey);
    CreateKey(kSettingsKey);
  }
  void TearDown() override {
    DeleteSettingsKey();
    DeleteKey(kMessengerKey);
    DeleteFolder(MessengerRoot());
  }
  static int ReadVersion(std::wstring* text) {
    wchar_t buffer[80] = {};
    int size = sizeof buffer;
    int status = ZT_ReadINIFileW(12, buffer, &size);
    *text = buffer;
    return status;
  }
};

TEST_F(MessengerRefreshTest, EachReadStoresTheProductVersionOfTheUsersTranslation) {
  std::wstring folder = MessengerFolder(0);
  ASSERT_EQ(ERROR_SUCCESS, PutText(kMessengerKey, L"InstallationDirectory", folder));
  ASSERT_EQ(ERROR_SUCCESS, PutText(kSettingsKey, L"sMSNVersion", L"7.0"));
  std::wstring text;
  EXPECT_EQ(ZT_OK, ReadVersion(&text));
  EXPECT_EQ(Expected().messengerVersion, text);
  EXPECT_EQ(Expected().messengerVersion, GetText(kSettingsKey, L"sMSNVersion"));

  char ansi[64] = {};
  int size = sizeof ansi;
  EXPECT_EQ(ZT_OK, ZT_ReadINIFileA(12, ansi, &size));
  EXPECT_EQ(Expected().messengerVersion, std::wstring(ansi, ansi + size - 1));
}

TEST_F(MessengerRefreshTest, TheFolderMayHoldAtMost129Characters) {
  std::wstring folder = MessengerFolder(129);
  ASSERT_EQ(129u, folder.size());
  ASSERT_EQ(ERROR_SUCCESS, PutText(kMessengerKey, L"InstallationDirectory", folder));
  std::wstring text;
  EXPECT_EQ(ZT_OK, ReadVersion(&text));
  EXPECT_EQ(Expected().messengerVersion, text);

  folder = MessengerFolder(130);
  ASSERT_EQ(130u, folder.size());
  ASSERT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((folder + L"msnmsgr.exe").c_str()));
  ASSERT_EQ(ERROR_SUCCESS, PutText(kMessengerKey, L"InstallationDirectory", folder));
  EXPECT_EQ(ZT_ERR_SYSTEM, ReadVersion(&text));
}

TEST_F(MessengerRefreshTest, WithoutTheMessengerTheStoredVersionIsNotRead) {
  ASSERT_EQ(ERROR_SUCCESS, PutText(kSettingsKey, L"sMSNVersion", L"7.0"));
  std::wstring text;
  EXPECT_EQ(ZT_ERR_NOT_FOUND, ReadVersion(&text));
  EXPECT_EQ(L"", text);

  // A registered folder without the program (or a folder that does not
  // exist): the version size call fails and its error is captured.
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  ASSERT_EQ(ERROR_SUCCESS, PutText(kMessengerKey, L"InstallationDirectory", temp));
  EXPECT_EQ(ZT_ERR_NOT_FOUND, ReadVersion(&text));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, ZT_GetLastErrorCode());
  ASSERT_EQ(ERROR_SUCCESS, PutText(kMessengerKey, L"InstallationDirectory", L"C:\\nowhere\\"));
  EXPECT_EQ(ZT_ERR_NOT_FOUND, ReadVersion(&text));
  EXPECT_EQ(ERROR_PATH_NOT_FOUND, ZT_GetLastErrorCode());
  EXPECT_EQ(L"7.0", GetText(kSettingsKey, L"sMSNVersion"));
}

}  // namespace
}  // namespace ostrel::wine
