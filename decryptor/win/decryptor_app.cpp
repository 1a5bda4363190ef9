#include "decryptor_app.h"

#include "cleanup_launch.h"
#include "decryptor_dialog.h"
#include "system_calls.h"

namespace orx {

namespace {

// Longer than an ending instance takes to let go (about 2.2 s measured
// under Wine, starting the cleanup tool); short enough that a second start
// while a dialog is open ends unnoticed.
constexpr DWORD kEndingInstanceWaitMs = 5000;

}  // namespace

BOOL DecryptorApp::InitInstance() {
  // The dialog object chooses its language now; its window comes later.
  DecryptorDialog dialog(kSystemCalls, launch_, zone_);

  m_hMutex = CreateMutexA(nullptr, TRUE, "Tarrow");
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    // An instance ends a few seconds after its window has gone (it starts
    // the cleanup tool first): the archive run again at once, after Cancel,
    // must not end in silence. An abandoned mutex is ours as well.
    DWORD waited = WaitForSingleObject(m_hMutex, kEndingInstanceWaitMs);
    if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) ExitProcess(1);
  }
  ReleaseBeforeCleanup(m_hMutex);
  INT_PTR result = dialog.DoModal();
  if (result == IDOK || result == IDCANCEL) ReleaseMutex(m_hMutex);
  return FALSE;
}

}  // namespace orx
