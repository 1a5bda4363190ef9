// The Windows test driver: lets a test program in the same Wine prefix use
// another program's windows as a person would (find them, read them, type,
// press buttons and keys, close them) and look at the screen.
//
// Every wait polls and gives up after its time-out, returning a null handle
// or false, so that a hung or missing window fails a test instead of hanging
// it. Clicks and keys are posted, never sent: the other program may answer a
// click with a modal message box, and a sent message would then block the
// driver until that box is gone.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace orxtest {

constexpr DWORD kDefaultTimeoutMs = 15000;

// A visible top-level window whose caption (and class, when given) match
// exactly; with pid, only windows of that process. Null after the time-out.
HWND WaitForWindow(const std::wstring& caption, const wchar_t* className = nullptr,
                   DWORD timeoutMs = kDefaultTimeoutMs, DWORD pid = 0);
// Any visible top-level window of the given class (for example L"#32770",
// dialogs and message boxes) other than those in `exclude`.
HWND WaitForWindowOfClass(const wchar_t* className, DWORD timeoutMs = kDefaultTimeoutMs,
                          const std::vector<HWND>& exclude = {});
// True once the window is destroyed or hidden.
bool WaitForWindowGone(HWND window, DWORD timeoutMs = kDefaultTimeoutMs);

std::wstring WindowText(HWND window);
std::wstring ClassName(HWND window);
std::wstring ControlText(HWND parent, int id);
// The top-level windows of a process that are visible now.
std::vector<HWND> VisibleWindowsOf(DWORD pid);

enum class BoxIcon { None, Error, Warning, Information, Question, Unknown };
struct MessageBoxInfo {
  std::wstring caption;
  std::wstring text;          // control 0xFFFF
  std::vector<int> buttons;   // visible button ids in {IDOK, IDCANCEL, IDYES, IDNO, ...}
  BoxIcon icon = BoxIcon::None;
  HWND owner = nullptr;
};
// Reads a message box as a person sees it; the icon is told by the colours
// of the icon on the screen (red for error, yellow for warning, blue for
// information), since another process's icon handle cannot be compared.
MessageBoxInfo ReadMessageBox(HWND box);
const char* IconName(BoxIcon icon);

// Types text into a control as keystrokes (WM_CHAR), so that the control's
// own limits and masking apply.
void TypeText(HWND control, const std::wstring& text);
// Sets a control's text at once (WM_SETTEXT), bypassing keystroke limits.
void SetText(HWND control, const std::wstring& text);
// Presses a button of a dialog or message box: posts BN_CLICKED to its parent.
bool PressButton(HWND parent, int id);
// Posts a key press (down and up) to the window, for Enter and Esc in dialogs.
void PressKey(HWND window, UINT virtualKey);
// Asks a window to close as its title bar's close button does.
void CloseWindowLikeUser(HWND window);

// What a screen reader is told a control is called: its name through MSAA
// (AccessibleObjectFromWindow, IAccessible::get_accName), on a thread of
// its own. False when the system gives no accessible object or no name.
bool AccessibleName(HWND control, std::wstring* name);

// The size `text` takes in `font`, laid out as DrawText's `format` lays it
// out within `width` pixels (DT_CALCRECT): what a control must hold for its
// text to show unclipped. The font must belong to this process.
SIZE TextExtent(const std::wstring& text, HFONT font, UINT format, int width);

// Screen pixels of a window's client area, read from the screen; 0xFFFFFFFF
// when the point is off the window.
COLORREF ScreenPixel(HWND window, int clientX, int clientY);
// Saves the window's area of the screen as a 24-bit BMP file.
bool SaveScreenshot(HWND window, const std::wstring& path);

struct Process {
  HANDLE handle = nullptr;
  DWORD pid = 0;
};
// Starts a program (command line as CreateProcessW takes it) in a folder.
Process Start(const std::wstring& commandLine, const std::wstring& folder = L"");
// The exit code, or -1 when the process has not ended within the time-out
// (it is then killed).
int WaitExit(Process& process, DWORD timeoutMs = kDefaultTimeoutMs);
void Close(Process& process);

// Small file helpers for tests.
bool FileExists(const std::wstring& path);
// How many names (hard links) the file has; 0 when it cannot be opened.
DWORD LinkCount(const std::wstring& path);
std::vector<unsigned char> ReadBytes(const std::wstring& path);
bool WriteBytes(const std::wstring& path, const void* data, size_t size);
// The names in a folder that match `pattern` ("orx*.tmp"), sorted; none
// for a missing folder.
std::vector<std::wstring> FileNames(const std::wstring& folder, const wchar_t* pattern = L"*");
// Removes a folder and everything in it; a missing folder is fine.
void RemoveTree(const std::wstring& folder);
std::wstring WindowsFolder();
std::wstring ModuleFolder();
std::wstring Utf8ToWide(const std::string& text);
std::string WideToUtf8(const std::wstring& text);

}  // namespace orxtest
