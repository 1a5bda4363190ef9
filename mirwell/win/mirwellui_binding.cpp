#include "mirwellui_binding.h"

#include <windows.h>

#include <cstddef>
#include <cstdlib>

#include "guarded_call.h"

namespace mirwell {
namespace {

struct Binding {
  bool isInfo;
  const char* title;
  const char* buttonLabel;
  const char* message;
  ErrorWindowResult result;
};

// MirwellUI.dll from beside the calling program (or the system folder),
// never from the current directory or the PATH, where a DLL of that name
// may be anyone's. Systems without the search flags (Windows 7 before its
// 2011 loader update) load it by its full path beside the program.
HMODULE LoadErrorWindowLibrary() {
  HMODULE module = LoadLibraryExA("MirwellUI.dll", nullptr,
                                  LOAD_LIBRARY_SEARCH_APPLICATION_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (module || GetLastError() != ERROR_INVALID_PARAMETER) return module;
  static const char kName[] = "MirwellUI.dll";
  char path[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return nullptr;
  while (n > 0 && path[n - 1] != '\\') --n;
  if (n == 0 || n + sizeof kName > MAX_PATH) return nullptr;
  for (size_t i = 0; i < sizeof kName; ++i) path[n + i] = kName[i];
  return LoadLibraryExA(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

// Runs under the guard: nothing here may own anything that needs a
// destructor, since an exception skips the rest of this frame. A library
// whose loading, call or release faults is never released.
void BindAndShow(void* context) {
  Binding& b = *static_cast<Binding*>(context);
  HMODULE module = LoadErrorWindowLibrary();
  if (module == nullptr) {
    b.result = ErrorWindowResult::kNotLoaded;
    return;
  }
  auto show = reinterpret_cast<ShowErrorMsgFn>(
      reinterpret_cast<void*>(GetProcAddress(module, "_ShowErrorMsg")));
  if (show == nullptr) {
    FreeLibrary(module);
    b.result = ErrorWindowResult::kNoExport;
    return;
  }
  show(b.isInfo, b.title, b.buttonLabel, b.message);
  FreeLibrary(module);
  b.result = ErrorWindowResult::kShown;
}

// The calling thread's top-level windows at one moment, and which of them
// were enabled.
class ThreadWindows {
 public:
  ThreadWindows() { EnumThreadWindows(GetCurrentThreadId(), Add, reinterpret_cast<LPARAM>(this)); }
  ~ThreadWindows() { std::free(entries_); }
  ThreadWindows(const ThreadWindows&) = delete;
  ThreadWindows& operator=(const ThreadWindows&) = delete;

  // False when memory ran out and some windows are missing.
  bool complete() const { return complete_; }
  std::size_t size() const { return count_; }
  HWND window(std::size_t i) const { return entries_[i].window; }
  bool enabled(std::size_t i) const { return entries_[i].enabled; }
  bool Holds(HWND window) const {
    for (std::size_t i = 0; i < count_; ++i) {
      if (entries_[i].window == window) return true;
    }
    return false;
  }

 private:
  struct Entry {
    HWND window;
    bool enabled;
  };
  static BOOL CALLBACK Add(HWND window, LPARAM self) {
    return reinterpret_cast<ThreadWindows*>(self)->Append(window);
  }
  BOOL Append(HWND window) {
    if (count_ == capacity_) {
      std::size_t capacity = capacity_ != 0 ? capacity_ * 2 : 16;
      auto* grown = static_cast<Entry*>(std::realloc(entries_, capacity * sizeof(Entry)));
      if (grown == nullptr) {
        complete_ = false;
        return FALSE;
      }
      entries_ = grown;
      capacity_ = capacity;
    }
    entries_[count_++] = {window, IsWindowEnabled(window) != FALSE};
    return TRUE;
  }

  Entry* entries_ = nullptr;
  std::size_t count_ = 0;
  std::size_t capacity_ = 0;
  bool complete_ = true;
};

struct Aftermath {
  const ThreadWindows& before;
  const ThreadWindows& after;
};

// Runs under the guard too: destroying a window runs the faulted library's
// window procedure once more.
void CleanUpAfterFault(void* context) {
  const Aftermath& a = *static_cast<Aftermath*>(context);
  // Enabled first, so that a destroyed window hands the activation back to
  // its owner, as the end of a modal window does.
  for (std::size_t i = 0; i < a.before.size(); ++i) {
    HWND window = a.before.window(i);
    if (a.before.enabled(i) && IsWindow(window) && !IsWindowEnabled(window)) {
      EnableWindow(window, TRUE);
    }
  }
  // Without the whole list of before, a window of the caller could be taken
  // for one of the call's.
  if (!a.before.complete()) return;
  for (std::size_t i = 0; i < a.after.size(); ++i) {
    HWND window = a.after.window(i);
    if (!a.before.Holds(window) && IsWindow(window)) DestroyWindow(window);
  }
}

}  // namespace

ErrorWindowResult ShowInErrorWindow(bool isInfo, const char* title, const char* buttonLabel,
                                    const char* message) {
  ThreadWindows before;
  Binding binding{isInfo, title, buttonLabel, message, ErrorWindowResult::kFaulted};
  if (mirwell_guarded_call(BindAndShow, &binding) == 0) return binding.result;
  ThreadWindows after;
  Aftermath aftermath{before, after};
  mirwell_guarded_call(CleanUpAfterFault, &aftermath);
  return ErrorWindowResult::kFaulted;
}

}  // namespace mirwell
