// Ids of the decryptor's resources and of the controls of its password
// dialog and progress window, shared by the resource script and the code.
#pragma once

#define IDD_PASSWORD 102
#define IDD_PROGRESS 103
#define IDI_EMPTY 128
#define IDB_BANNER 144

#define IDC_PASSWORD 1000
#define IDC_NOTE 1001
#define IDC_PROMPT 1002
#define IDC_TITLE 1003
#define IDC_PROGRESS_NAME 1004
#define IDC_PROGRESS_BAR 1005
