// Ids of the stub's resources and of the controls of its progress window,
// shared by the resource script and the code. The window's controls carry
// the ids of the decryptor's progress window, which it looks like.
#pragma once

#define IDI_ARCHIVE 103
#define IDD_PLACING 104

#define IDC_PROGRESS_NAME 1004
#define IDC_PROGRESS_BAR 1005
