// ShowErrorMessage: the composed error in MirwellUI's window, or the fixed
// fallback box when anything it needs is missing.
#include <windows.h>

#include "error_text.h"
#include "mirwell.h"
#include "mirwellui_binding.h"
#include "windows_ports.h"

namespace {

// Not localized: it is shown when the locale files themselves may be gone.
bool ShowFallbackBox(HWND owner) {
  MessageBoxA(owner, "Orvanta was not properly installed! Please reinstall the software.",
              mirwell::kFallbackTitle, MB_OK | MB_ICONERROR);
  return false;
}

}  // namespace

extern "C" bool __cdecl ShowErrorMessage(HWND owner, int category, unsigned int detailCode) {
  mirwell::OstrelEnvironment environment;
  mirwell::ProfileFileReader reader;
  mirwell::SystemAnsiCodePage codePage;
  mirwell::ErrorText text;
  if (mirwell::ComposeErrorText(category, detailCode, environment, reader, codePage, &text) !=
      mirwell::ComposeStatus::kOk) {
    return ShowFallbackBox(owner);
  }
  char buttonLabel[mirwell::kLabelSize];
  mirwell::ReadButtonLabel(category, text.localeFile, reader, codePage, buttonLabel);

  if (mirwell::ShowInErrorWindow(category == 2, text.title, buttonLabel, text.message) ==
      mirwell::ErrorWindowResult::kShown) {
    return true;
  }
  return ShowFallbackBox(owner);
}
