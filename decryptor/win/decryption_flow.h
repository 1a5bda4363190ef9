// What OK in the password dialog leads to: the payload the stub left (in
// the Windows folder or the recipient's own, launch.h) is opened
// with the password, decrypted into a temporary file beside the output and
// verified; the verified file gets the archive's zone information, takes
// the stored name in the current folder and is offered for opening (opened
// only when it carries that information and the decryptor runs unelevated;
// otherwise shown in its folder); every ending has the cleanup tool remove
// the decryptor.
//
// One pass, named steps, one exit: each step either lets the flow go on or
// ends it with an outcome, and End() turns the outcome into its message,
// its icon and its cleanup by one table. The password bytes and the file
// key live in owners scoped to the steps that need them, wiped on every
// path; unverified plaintext never outlives the failure that made it (it
// is removed before any message is shown).
//
// The flow has no window of its own but the progress window of a long
// decryption: it asks and tells the recipient through a Prompt, and reaches
// the system through a SystemCalls table (system_calls.h).
#pragma once

#include <windows.h>

#include "orx/secret.h"
#include "orx/unique_handle.h"
#include "payload/payload_header.h"
#include "payload/payload_open.h"
#include "system_calls.h"

namespace orx {

// How the flow asks or tells the recipient something: message `slot` (a
// MessageSlot, texts.h) in a box of `style`, with `name`, when not null,
// before the text. Returns the button pressed (IDYES, IDNO, IDOK).
struct Prompt {
  int (*ask)(void* context, int slot, UINT style, const wchar_t* name);
  void* context;
};

class DecryptionFlow {
 public:
  // The password text stays the caller's, who wipes it after Run; so do
  // the launch and the archive's zone information.
  DecryptionFlow(const wchar_t* password, const Prompt& prompt, const SystemCalls& calls,
                 const Launch& launch, const ZoneRecord& zone)
      : password_(password), prompt_(prompt), calls_(calls), launch_(launch), zone_(zone) {}
  DecryptionFlow(const DecryptionFlow&) = delete;
  DecryptionFlow& operator=(const DecryptionFlow&) = delete;

  void Run();

 private:
  enum Outcome : int {
    kGoOn = -1,
    kWrongPassword,  // the password does not unwrap the file key
    kFailure,        // the decryption failed or the file fails its digest or tag
    kOsError,        // a file, format or key-derivation failure
    kNotReplaced,    // the user kept an existing file
    kCancelled,      // the user stopped the decryption
    kDecrypted,      // verified and in place
  };

  Outcome OpenPayload();
  Outcome Unlock(payload::FileKey* key);
  Outcome AskBeforeReplacing();
  Outcome Decrypt(const payload::FileKey& key);
  Outcome PutInPlace();
  void OfferToOpen();
  void ShowInFolder();
  void End(Outcome outcome);
  int Ask(int slot, UINT style, const wchar_t* name = nullptr);
  const wchar_t* name() const { return reinterpret_cast<const wchar_t*>(header_.fileName); }

  const wchar_t* password_;
  const Prompt& prompt_;
  const SystemCalls& calls_;
  const Launch& launch_;
  const ZoneRecord& zone_;
  FileHandle payload_;  // read with no writer let in
  // The unverified output while it exists: made once, exclusively, written,
  // renamed and removed through its own handle, never opened by name.
  FileHandle output_;
  bool mayReplace_ = false;
  bool orphanable_ = false;  // the output would outlive a decryptor that dies
  bool marked_ = false;  // the verified file carries the archive's zone information
  // The large members last, so that the others are reached by shorter code.
  payload::PayloadHeader header_ = {};
  wchar_t payloadPath_[MAX_PATH] = {};
  wchar_t tempPath_[MAX_PATH] = {};  // the unverified output's name
  wchar_t outputPath_[MAX_PATH + 256] = {};  // the verified file, by its full path
};

}  // namespace orx
