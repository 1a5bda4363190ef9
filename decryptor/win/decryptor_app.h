// The decryptor's application object: one instance at a time, the password
// dialog as its only window, no message loop after it.
#pragma once

#include <windows.h>

namespace orx {

class DecryptorApp {
 public:
  // Runs the whole program. A second instance, started while another one
  // holds the mutex "Tarrow", ends the process at once with exit code 1 and
  // shows nothing. Returns FALSE: the program ends when the dialog has.
  BOOL InitInstance();

 private:
  HANDLE m_hMutex = nullptr;  // kept until the process ends
};

}  // namespace orx
