// A product installation for the Windows tests: the settings key with
// sSystemDir pointing at a fresh folder, and locale files written into its
// "locale" subfolder as raw ANSI bytes.
#pragma once

#include <windows.h>

#include <string>

namespace mirwell::testing {

class TestInstallation {
 public:
  // Creates <temp>\<name>\locale (emptied first) and points sSystemDir at
  // <temp>\<name>. The previous sSystemDir is put back by the destructor.
  explicit TestInstallation(const std::string& name);
  ~TestInstallation();
  TestInstallation(const TestInstallation&) = delete;
  TestInstallation& operator=(const TestInstallation&) = delete;

  const std::string& folder() const { return folder_; }
  // Writes locale\Orvanta_<tag>.ini with exactly these bytes.
  void WriteLocale(const std::string& tag, const std::string& bytes) const;
  void RemoveLocale(const std::string& tag) const;
  // Removes the sSystemDir value itself.
  static void RemoveInstallFolderSetting();
  static void SetInstallFolderSetting(const std::string& ansiFolder);

 private:
  std::string folder_;
  bool hadPrevious_ = false;
  std::wstring previous_;
};

// The tag of the system language as the product maps it, for the few
// languages the tests run under.
std::string SystemLanguageTag();

// A locale file with every key, texts named after their keys:
// "Text err_0004", "Code: ", "Error title", "Info title", "Hint",
// "lbOK" = "Close", "lbNext" = "Next".
std::string FullLocaleFile();

}  // namespace mirwell::testing
