// The decryptor's application object: one instance at a time, the password
// dialog as its only window, no message loop after it.
#pragma once

#include <windows.h>

#include "launch.h"
#include "orx/zone_record.h"

namespace orx {

class DecryptorApp {
 public:
  // The launch and the archive's zone information stay the caller's.
  DecryptorApp(const Launch& launch, const ZoneRecord& zone) : launch_(launch), zone_(zone) {}

  // Runs the whole program. A second instance, started while another one
  // holds the mutex "Tarrow", waits a few seconds for it to let go (an
  // instance that is ending: its window gone, its cleanup tool being
  // started) and then shows its own dialog; if the other still holds it (its
  // dialog or a message is open), it ends with exit code 1 and shows
  // nothing. The mutex is let go of before the cleanup tool is started
  // (cleanup_launch.h). Returns FALSE: the program ends when the dialog has.
  BOOL InitInstance();

 private:
  const Launch& launch_;
  const ZoneRecord& zone_;
  HANDLE m_hMutex = nullptr;  // kept until the process ends
};

}  // namespace orx
