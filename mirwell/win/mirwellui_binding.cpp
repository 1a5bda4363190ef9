#include "mirwellui_binding.h"

#include <windows.h>

#include "guarded_call.h"

namespace mirwell {
namespace {

struct Binding {
  orx::Module* module;
  bool isInfo;
  const char* title;
  const char* buttonLabel;
  const char* message;
  ErrorWindowResult result;
};

// Runs under the guard: nothing here may own anything that needs a
// destructor, since an exception skips the rest of this frame.
void BindAndShow(void* context) {
  Binding& b = *static_cast<Binding*>(context);
  b.module->reset(LoadLibraryA("MirwellUI.dll"));
  if (!*b.module) {
    b.result = ErrorWindowResult::kNotLoaded;
    return;
  }
  auto show = reinterpret_cast<ShowErrorMsgFn>(
      reinterpret_cast<void*>(GetProcAddress(b.module->get(), "_ShowErrorMsg")));
  if (show == nullptr) {
    b.module->reset();
    b.result = ErrorWindowResult::kNoExport;
    return;
  }
  show(b.isInfo, b.title, b.buttonLabel, b.message);
  // Handed over before the release, so that a fault inside it does not
  // lead to a second release.
  FreeLibrary(b.module->release());
  b.result = ErrorWindowResult::kShown;
}

}  // namespace

ErrorWindowResult ShowInErrorWindow(orx::Module& module, bool isInfo, const char* title,
                                    const char* buttonLabel, const char* message) {
  Binding binding{&module, isInfo, title, buttonLabel, message, ErrorWindowResult::kFaulted};
  if (mirwell_guarded_call(BindAndShow, &binding) != 0) return ErrorWindowResult::kFaulted;
  return binding.result;
}

}  // namespace mirwell
