// GetErrorMessage: the composed title and message into the caller's buffers.
#include <cstring>

#include "error_text.h"
#include "mirwell.h"
#include "windows_ports.h"

static_assert(sizeof(bool) == 1, "the exports return, and MirwellUI takes, a one-byte bool");

extern "C" bool __cdecl GetErrorMessage(int category, unsigned int detailCode, char* titleOut,
                                        char* messageOut) {
  if (titleOut == nullptr || messageOut == nullptr) return false;
  mirwell::OstrelEnvironment environment;
  mirwell::ProfileFileReader reader;
  mirwell::SystemAnsiCodePage codePage;
  mirwell::ErrorText text;
  if (mirwell::ComposeErrorText(category, detailCode, environment, reader, codePage, &text) !=
      mirwell::ComposeStatus::kOk) {
    return false;
  }
  std::memcpy(titleOut, text.title, std::strlen(text.title) + 1);
  std::memcpy(messageOut, text.message, std::strlen(text.message) + 1);
  return true;
}
