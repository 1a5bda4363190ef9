#include "install_fixture.h"

#include <cstdio>
#include <stdexcept>

#include "orx/unique_handle.h"

namespace mirwell::testing {
namespace {

constexpr wchar_t kSettingsKey[] = L"SOFTWARE\\Tavrel\\Orvanta";
constexpr wchar_t kInstallFolderValue[] = L"sSystemDir";

orx::RegKey OpenSettings() {
  orx::RegKey key;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kSettingsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                      key.put(), nullptr) != ERROR_SUCCESS) {
    throw std::runtime_error("cannot create the settings key");
  }
  return key;
}

std::wstring Widen(const std::string& ansi) {
  std::wstring wide(ansi.size() + 1, L'\0');
  int n = MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, &wide[0], static_cast<int>(wide.size()));
  wide.resize(n > 0 ? n - 1 : 0);
  return wide;
}

void RemoveTree(const std::string& folder) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      std::string name = found.cFileName;
      if (name == "." || name == "..") continue;
      std::string path = folder + "\\" + name;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) RemoveTree(path);
      else DeleteFileA(path.c_str());
    } while (FindNextFileA(search, &found));
    FindClose(search);
  }
  RemoveDirectoryA(folder.c_str());
}

}  // namespace

TestInstallation::TestInstallation(const std::string& name) {
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  folder_ = std::string(temp) + name;
  RemoveTree(folder_);
  CreateDirectoryA(folder_.c_str(), nullptr);
  CreateDirectoryA((folder_ + "\\locale").c_str(), nullptr);

  orx::RegKey key = OpenSettings();
  wchar_t previous[1024] = {};
  DWORD size = sizeof previous - sizeof(wchar_t);
  if (RegQueryValueExW(key.get(), kInstallFolderValue, nullptr, nullptr,
                       reinterpret_cast<BYTE*>(previous), &size) == ERROR_SUCCESS) {
    hadPrevious_ = true;
    previous_ = previous;
  }
  SetInstallFolderSetting(folder_);
}

TestInstallation::~TestInstallation() {
  if (hadPrevious_) {
    orx::RegKey key = OpenSettings();
    RegSetValueExW(key.get(), kInstallFolderValue, 0, REG_SZ,
                   reinterpret_cast<const BYTE*>(previous_.c_str()),
                   static_cast<DWORD>((previous_.size() + 1) * sizeof(wchar_t)));
  } else {
    RemoveInstallFolderSetting();
  }
  RemoveTree(folder_);
}

void TestInstallation::WriteLocale(const std::string& tag, const std::string& bytes) const {
  std::string path = folder_ + "\\locale\\Orvanta_" + tag + ".ini";
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) throw std::runtime_error("cannot write " + path);
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

void TestInstallation::RemoveLocale(const std::string& tag) const {
  DeleteFileA((folder_ + "\\locale\\Orvanta_" + tag + ".ini").c_str());
}

void TestInstallation::RemoveInstallFolderSetting() {
  orx::RegKey key = OpenSettings();
  RegDeleteValueW(key.get(), kInstallFolderValue);
}

void TestInstallation::SetInstallFolderSetting(const std::string& ansiFolder) {
  orx::RegKey key = OpenSettings();
  std::wstring value = Widen(ansiFolder);
  if (RegSetValueExW(key.get(), kInstallFolderValue, 0, REG_SZ,
                     reinterpret_cast<const BYTE*>(value.c_str()),
                     static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) != ERROR_SUCCESS) {
    throw std::runtime_error("cannot set sSystemDir");
  }
}

std::string SystemLanguageTag() {
  switch (GetSystemDefaultLangID()) {
    case 0x0407: return "DE";
    case 0x040C: return "FR";
    case 0x0404: return "TC";
    case 0x0804: return "SC";
    case 0x0816: return "PT";
    case 0x0411: return "JP";
    default: return "EN";
  }
}

std::string FullLocaleFile() {
  std::string file =
      "[ERROR]\r\n"
      "err_code=\"Code: \"\r\n"  // quoted: the reader would trim the space
      "err_title=Error title\r\n"
      "err_title_info=Info title\r\n"
      "err_hint=Hint\r\n";
  for (const char* key : {"err_0000", "err_0001", "err_0003", "err_0004", "err_0005", "err_0006",
                          "err_0007", "err_0008", "err_0009", "err_0010"}) {
    file += std::string(key) + "=Text " + key + "\r\n";
  }
  file +=
      "[COMMON]\r\n"
      "lbOK=Close\r\n"
      "lbNext=Next\r\n";
  return file;
}

}  // namespace mirwell::testing
