#include "decryptor_dialog.h"

#include "decryption_flow.h"
#include "localized_texts.h"
#include "resource_ids.h"
#include "orx/wide_text.h"
#include "texts.h"

namespace orx {

int DecryptorDialog::ShowMessage(void* dialog, int number, UINT style, const wchar_t* name) {
  DecryptorDialog& self = *static_cast<DecryptorDialog*>(dialog);
  // The stored name is at most 255 units (the plain-name rule), the longest
  // text a few hundred: this holds both.
  wchar_t composed[1024 + 512];
  composed[0] = 0;
  if (name) AppendWide(composed, ARRAYSIZE(composed), name);
  AppendWide(composed, ARRAYSIZE(composed), MessageTextW(self.m_nLanguage, number));
  // Every message has the caption of the dialog (its template's).
  wchar_t caption[64];
  caption[0] = 0;
  GetWindowTextW(self.m_hWnd, caption, ARRAYSIZE(caption));
  return MessageBoxW(self.m_hWnd, composed, caption, style);
}

void DecryptorDialog::OnOK() {
  // Takes the password box's text and ends the dialog, which hides it; a
  // refused value keeps the dialog open and nothing happens.
  if (!UpdateData(true)) return;
  // The text lives on in the member only, wiped when the dialog goes, just
  // after the flow.
  SetWindowTextW(GetDlgItem(m_hWnd, IDC_PASSWORD), L"");
  EndDialog(m_hWnd, IDOK);
  const Prompt prompt = {&ShowMessage, this};
  DecryptionFlow(m_strPassword.value, prompt, calls_, m_launch, zone_).Run();
}

}  // namespace orx
