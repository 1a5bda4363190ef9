#include "decryptor_app.h"

#include "decryptor_dialog.h"

namespace orx {

BOOL DecryptorApp::InitInstance() {
  // The dialog object chooses its language now; its window comes later.
  DecryptorDialog dialog;

  m_hMutex = CreateMutexA(nullptr, TRUE, "Tarrow");
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    ReleaseMutex(m_hMutex);
    ExitProcess(1);
  }
  INT_PTR result = dialog.DoModal();
  if (result == IDOK || result == IDCANCEL) ReleaseMutex(m_hMutex);
  return FALSE;
}

}  // namespace orx
