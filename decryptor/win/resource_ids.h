// Ids of the decryptor's resources and of the password dialog's controls,
// shared by the resource script and the code.
#pragma once

#define IDD_PASSWORD 102
#define IDI_EMPTY 128
#define IDB_BANNER 144

#define IDC_PASSWORD 1000
#define IDC_NOTE 1001
#define IDC_PROMPT 1002
#define IDC_TITLE 1003
