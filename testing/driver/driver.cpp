#include "orxtest/driver.h"

#include <oleacc.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <thread>

namespace orxtest {
namespace {

constexpr DWORD kPollMs = 50;

template <typename Predicate>
bool PollUntil(DWORD timeoutMs, Predicate done) {
  DWORD start = GetTickCount();
  for (;;) {
    if (done()) return true;
    if (GetTickCount() - start >= timeoutMs) return false;
    Sleep(kPollMs);
  }
}

struct FindArgs {
  const std::wstring* caption;
  const wchar_t* className;
  DWORD pid;
  const std::vector<HWND>* exclude;
  HWND found;
};

BOOL CALLBACK FindTopLevel(HWND window, LPARAM param) {
  auto* args = reinterpret_cast<FindArgs*>(param);
  if (!IsWindowVisible(window)) return TRUE;
  if (args->pid) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != args->pid) return TRUE;
  }
  if (args->className && ClassName(window) != args->className) return TRUE;
  if (args->caption && WindowText(window) != *args->caption) return TRUE;
  if (args->exclude) {
    for (HWND h : *args->exclude)
      if (h == window) return TRUE;
  }
  args->found = window;
  return FALSE;
}

// Colour class of one pixel, for telling message box icons apart.
enum class Hue { Other, Red, Yellow, Blue };
Hue HueOf(COLORREF c) {
  int r = GetRValue(c), g = GetGValue(c), b = GetBValue(c);
  if (r > 150 && g < 100 && b < 100) return Hue::Red;
  if (r > 170 && g > 150 && b < 100) return Hue::Yellow;
  if (b > 150 && r < 120) return Hue::Blue;
  return Hue::Other;
}

// Copies a screen rectangle into a top-down 32-bit pixel array.
bool GrabScreen(const RECT& rect, std::vector<DWORD>& pixels) {
  int w = rect.right - rect.left, h = rect.bottom - rect.top;
  if (w <= 0 || h <= 0) return false;
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  BITMAPINFO bi = {};
  bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = -h;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  bool ok = false;
  if (dib) {
    HGDIOBJ old = SelectObject(mem, dib);
    ok = BitBlt(mem, 0, 0, w, h, screen, rect.left, rect.top, SRCCOPY) != FALSE;
    GdiFlush();
    if (ok) pixels.assign(static_cast<DWORD*>(bits), static_cast<DWORD*>(bits) + w * h);
    SelectObject(mem, old);
    DeleteObject(dib);
  }
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  return ok;
}

}  // namespace

HWND WaitForWindow(const std::wstring& caption, const wchar_t* className, DWORD timeoutMs,
                   DWORD pid) {
  FindArgs args{&caption, className, pid, nullptr, nullptr};
  PollUntil(timeoutMs, [&] {
    args.found = nullptr;
    EnumWindows(FindTopLevel, reinterpret_cast<LPARAM>(&args));
    return args.found != nullptr;
  });
  return args.found;
}

HWND WaitForWindowOfClass(const wchar_t* className, DWORD timeoutMs,
                          const std::vector<HWND>& exclude) {
  FindArgs args{nullptr, className, 0, &exclude, nullptr};
  PollUntil(timeoutMs, [&] {
    args.found = nullptr;
    EnumWindows(FindTopLevel, reinterpret_cast<LPARAM>(&args));
    return args.found != nullptr;
  });
  return args.found;
}

bool WaitForWindowGone(HWND window, DWORD timeoutMs) {
  return PollUntil(timeoutMs, [&] { return !IsWindow(window) || !IsWindowVisible(window); });
}

std::wstring WindowText(HWND window) {
  // WM_GETTEXT works across processes, also for controls (GetWindowText
  // does not read another process's controls).
  LRESULT len = SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
  std::wstring text(static_cast<size_t>(len) + 1, L'\0');
  LRESULT got = SendMessageW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]));
  text.resize(static_cast<size_t>(got));
  return text;
}

std::wstring ClassName(HWND window) {
  wchar_t name[256] = {};
  GetClassNameW(window, name, 256);
  return name;
}

std::wstring ControlText(HWND parent, int id) {
  HWND control = GetDlgItem(parent, id);
  return control ? WindowText(control) : std::wstring();
}

std::vector<HWND> VisibleWindowsOf(DWORD pid) {
  struct Args {
    DWORD pid;
    std::vector<HWND> found;
  } args{pid, {}};
  EnumWindows(
      [](HWND w, LPARAM p) -> BOOL {
        auto* a = reinterpret_cast<Args*>(p);
        DWORD owner = 0;
        GetWindowThreadProcessId(w, &owner);
        if (owner == a->pid && IsWindowVisible(w)) a->found.push_back(w);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&args));
  return args.found;
}

MessageBoxInfo ReadMessageBox(HWND box) {
  MessageBoxInfo info;
  info.caption = WindowText(box);
  info.text = ControlText(box, 0xFFFF);
  info.owner = GetWindow(box, GW_OWNER);
  for (int id : {IDOK, IDCANCEL, IDABORT, IDRETRY, IDIGNORE, IDYES, IDNO}) {
    HWND b = GetDlgItem(box, id);
    if (b && IsWindowVisible(b)) info.buttons.push_back(id);
  }
  // The icon is the static control 0x440 (the first one of class Static
  // holding an icon); it is hidden or absent when the box has none.
  HWND icon = GetDlgItem(box, 0x440);
  if (!icon || !IsWindowVisible(icon)) {
    info.icon = BoxIcon::None;
    return info;
  }
  // Let the box paint before looking at it.
  Sleep(300);
  RECT rect;
  GetWindowRect(icon, &rect);
  std::vector<DWORD> pixels;
  if (!GrabScreen(rect, pixels)) {
    info.icon = BoxIcon::Unknown;
    return info;
  }
  int red = 0, yellow = 0, blue = 0;
  for (DWORD p : pixels) {
    COLORREF c = RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
    switch (HueOf(c)) {
      case Hue::Red: ++red; break;
      case Hue::Yellow: ++yellow; break;
      case Hue::Blue: ++blue; break;
      default: break;
    }
  }
  int most = red > yellow ? (red > blue ? red : blue) : (yellow > blue ? yellow : blue);
  // Wine keeps an empty icon control in a box without icon.
  if (most < 20) info.icon = BoxIcon::None;
  else if (most == red) info.icon = BoxIcon::Error;
  else if (most == yellow) info.icon = BoxIcon::Warning;
  else info.icon = BoxIcon::Information;
  return info;
}

const char* IconName(BoxIcon icon) {
  switch (icon) {
    case BoxIcon::None: return "none";
    case BoxIcon::Error: return "error";
    case BoxIcon::Warning: return "warning";
    case BoxIcon::Information: return "information";
    case BoxIcon::Question: return "question";
    default: return "unknown";
  }
}

void TypeText(HWND control, const std::wstring& text) {
  for (wchar_t ch : text) SendMessageW(control, WM_CHAR, ch, 1);
}

void SetText(HWND control, const std::wstring& text) {
  SendMessageW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

bool PressButton(HWND parent, int id) {
  HWND button = GetDlgItem(parent, id);
  if (!button) return false;
  return PostMessageW(parent, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                      reinterpret_cast<LPARAM>(button)) != FALSE;
}

void PressKey(HWND window, UINT virtualKey) {
  UINT scan = MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC);
  PostMessageW(window, WM_KEYDOWN, virtualKey, 1 | (scan << 16));
  PostMessageW(window, WM_KEYUP, virtualKey, 1 | (scan << 16) | (3u << 30));
}

void CloseWindowLikeUser(HWND window) { PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0); }

bool AccessibleName(HWND control, std::wstring* name) {
  // IID_IAccessible, spelled out: MinGW's import library gives the name an
  // address that is not the interface id.
  static const IID kAccessible = {0x618736e0, 0x3c3d, 0x11cf,
                                  {0x81, 0x0c, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};
  bool named = false;
  // A thread of its own, so that the caller's COM state stays as it was.
  std::thread asker([&] {
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return;
    IAccessible* accessible = nullptr;
    if (SUCCEEDED(AccessibleObjectFromWindow(control, static_cast<DWORD>(OBJID_CLIENT), kAccessible,
                                             reinterpret_cast<void**>(&accessible)))) {
      VARIANT self;
      VariantInit(&self);
      self.vt = VT_I4;
      self.lVal = CHILDID_SELF;
      BSTR text = nullptr;
      if (accessible->get_accName(self, &text) == S_OK && text) {
        name->assign(text, SysStringLen(text));
        named = true;
      }
      SysFreeString(text);
      accessible->Release();
    }
    CoUninitialize();
  });
  asker.join();
  return named;
}

SIZE TextExtent(const std::wstring& text, HFONT font, UINT format, int width) {
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, font);
  RECT rect = {0, 0, width, 0};
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rect, format | DT_CALCRECT);
  SelectObject(dc, old);
  DeleteDC(dc);
  return SIZE{rect.right - rect.left, rect.bottom - rect.top};
}

COLORREF ScreenPixel(HWND window, int clientX, int clientY) {
  POINT pt{clientX, clientY};
  RECT client;
  if (!GetClientRect(window, &client) || !PtInRect(&client, pt)) return 0xFFFFFFFF;
  ClientToScreen(window, &pt);
  RECT one{pt.x, pt.y, pt.x + 1, pt.y + 1};
  std::vector<DWORD> px;
  if (!GrabScreen(one, px)) return 0xFFFFFFFF;
  return RGB((px[0] >> 16) & 0xFF, (px[0] >> 8) & 0xFF, px[0] & 0xFF);
}

bool SaveScreenshot(HWND window, const std::wstring& path) {
  RECT rect;
  if (!GetWindowRect(window, &rect)) return false;
  std::vector<DWORD> px;
  if (!GrabScreen(rect, px)) return false;
  int w = rect.right - rect.left, h = rect.bottom - rect.top;
  int stride = (w * 3 + 3) & ~3;
  BITMAPFILEHEADER fh = {};
  BITMAPINFOHEADER ih = {};
  fh.bfType = 0x4D42;
  fh.bfOffBits = sizeof(fh) + sizeof(ih);
  fh.bfSize = fh.bfOffBits + stride * h;
  ih.biSize = sizeof(ih);
  ih.biWidth = w;
  ih.biHeight = h;
  ih.biPlanes = 1;
  ih.biBitCount = 24;
  std::vector<unsigned char> out(fh.bfSize);
  memcpy(out.data(), &fh, sizeof(fh));
  memcpy(out.data() + sizeof(fh), &ih, sizeof(ih));
  for (int y = 0; y < h; ++y) {
    unsigned char* row = out.data() + fh.bfOffBits + (h - 1 - y) * stride;
    for (int x = 0; x < w; ++x) {
      DWORD p = px[y * w + x];
      row[x * 3] = p & 0xFF;
      row[x * 3 + 1] = (p >> 8) & 0xFF;
      row[x * 3 + 2] = (p >> 16) & 0xFF;
    }
  }
  return WriteBytes(path, out.data(), out.size());
}

Process Start(const std::wstring& commandLine, const std::wstring& folder) {
  Process p;
  STARTUPINFOW si = {};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi = {};
  // Under a loaded Wine a start can fail for a moment; try again before
  // calling it a failure, and say why it failed.
  for (int attempt = 0; attempt < 3; ++attempt) {
    std::wstring cmd = commandLine;
    if (CreateProcessW(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr,
                       folder.empty() ? nullptr : folder.c_str(), &si, &pi)) {
      CloseHandle(pi.hThread);
      p.handle = pi.hProcess;
      p.pid = pi.dwProcessId;
      return p;
    }
    std::fprintf(stderr, "driver: cannot start %s (error %lu)\n", WideToUtf8(commandLine).c_str(),
                 GetLastError());
    Sleep(500);
  }
  return p;
}

int WaitExit(Process& process, DWORD timeoutMs) {
  if (!process.handle) return -1;
  if (WaitForSingleObject(process.handle, timeoutMs) != WAIT_OBJECT_0) {
    TerminateProcess(process.handle, 255);
    WaitForSingleObject(process.handle, 5000);
    return -1;
  }
  DWORD code = 0;
  GetExitCodeProcess(process.handle, &code);
  return static_cast<int>(code);
}

void Close(Process& process) {
  if (process.handle) CloseHandle(process.handle);
  process = Process{};
}

DWORD LinkCount(const std::wstring& path) {
  HANDLE f = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, 0, nullptr);
  BY_HANDLE_FILE_INFORMATION info = {};
  bool ok = f != INVALID_HANDLE_VALUE && GetFileInformationByHandle(f, &info);
  if (f != INVALID_HANDLE_VALUE) CloseHandle(f);
  return ok ? info.nNumberOfLinks : 0;
}

bool FileExists(const std::wstring& path) {
  DWORD attrs = GetFileAttributesW(path.c_str());
  return attrs != INVALID_FILE_ATTRIBUTES && !(attrs & FILE_ATTRIBUTE_DIRECTORY);
}

std::vector<unsigned char> ReadBytes(const std::wstring& path) {
  std::vector<unsigned char> data;
  HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return data;
  unsigned char buf[65536];
  DWORD got = 0;
  while (ReadFile(f, buf, sizeof(buf), &got, nullptr) && got) data.insert(data.end(), buf, buf + got);
  CloseHandle(f);
  return data;
}

bool WriteBytes(const std::wstring& path, const void* data, size_t size) {
  HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  DWORD put = 0;
  BOOL ok = WriteFile(f, data, static_cast<DWORD>(size), &put, nullptr);
  CloseHandle(f);
  return ok && put == size;
}

std::vector<std::wstring> FileNames(const std::wstring& folder, const wchar_t* pattern) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW entry;
  HANDLE find = FindFirstFileW((folder + L"\\" + pattern).c_str(), &entry);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    std::wstring name = entry.cFileName;
    if (name != L"." && name != L"..") names.push_back(name);
  } while (FindNextFileW(find, &entry));
  FindClose(find);
  std::sort(names.begin(), names.end());
  return names;
}

void RemoveTree(const std::wstring& folder) {
  WIN32_FIND_DATAW entry;
  HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &entry);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      std::wstring name = entry.cFileName;
      if (name == L"." || name == L"..") continue;
      std::wstring path = folder + L"\\" + name;
      if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) RemoveTree(path);
      else DeleteFileW(path.c_str());
    } while (FindNextFileW(find, &entry));
    FindClose(find);
  }
  RemoveDirectoryW(folder.c_str());
}

std::wstring WindowsFolder() {
  wchar_t buf[MAX_PATH] = {};
  GetWindowsDirectoryW(buf, MAX_PATH);
  return buf;
}

std::wstring ModuleFolder() {
  wchar_t buf[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, buf, MAX_PATH);
  wchar_t* slash = wcsrchr(buf, L'\\');
  if (slash) *slash = 0;
  return buf;
}

std::wstring Utf8ToWide(const std::string& text) {
  if (text.empty()) return {};
  int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(n, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n);
  return out;
}

std::string WideToUtf8(const std::wstring& text) {
  if (text.empty()) return {};
  int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                              nullptr, nullptr);
  std::string out(n, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n, nullptr,
                      nullptr);
  return out;
}

}  // namespace orxtest
