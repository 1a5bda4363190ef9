// The decryptor program's resources as Windows reads them: the dialog
// template's styles, ids, order, sizes and font, the picture and the icon.
#include <gtest/gtest.h>

#include <string>

#include "orxtest/driver.h"

namespace {

struct Item {
  DWORD exStyle, style;
  short x, y, cx, cy;
  int id;
  std::wstring cls, text;
};

// Reads zero-terminated UTF-16, or an 0xFFFF-prefixed ordinal as "#n".
std::wstring SzOrOrdinal(const WORD*& p) {
  if (*p == 0xFFFF) {
    std::wstring s = L"#" + std::to_wstring(p[1]);
    p += 2;
    return s;
  }
  std::wstring s(reinterpret_cast<const wchar_t*>(p));
  p += s.size() + 1;
  return s;
}

const WORD* Align4(const WORD* p) {
  return reinterpret_cast<const WORD*>((reinterpret_cast<ULONG_PTR>(p) + 3) & ~ULONG_PTR(3));
}

class ProgramResources : public ::testing::Test {
 protected:
  void SetUp() override {
    module_ = LoadLibraryExW((orxtest::ModuleFolder() + L"\\Orx_DecryptFile.exe").c_str(), nullptr,
                             LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module_, nullptr);
  }
  void TearDown() override { FreeLibrary(module_); }
  const void* Resource(LPCWSTR type, int id, DWORD* size = nullptr) {
    HRSRC r = FindResourceW(module_, MAKEINTRESOURCEW(id), type);
    if (!r) return nullptr;
    if (size) *size = SizeofResource(module_, r);
    return LockResource(LoadResource(module_, r));
  }
  HMODULE module_ = nullptr;
};

TEST_F(ProgramResources, DialogTemplate102) {
  const WORD* p = static_cast<const WORD*>(Resource(RT_DIALOG, 102));
  ASSERT_NE(p, nullptr);
  ASSERT_EQ(p[0], 1);       // extended template
  ASSERT_EQ(p[1], 0xFFFF);
  const DWORD* d = reinterpret_cast<const DWORD*>(p + 2);
  EXPECT_EQ(d[0], 0u);  // help id
  EXPECT_EQ(d[1], 0x00040000u) << std::hex << d[1];
  EXPECT_EQ(d[2], 0x90C80840u) << std::hex << d[2];
  p = reinterpret_cast<const WORD*>(d + 3);
  int count = p[0];
  EXPECT_EQ(count, 7);
  const short* geometry = reinterpret_cast<const short*>(p + 1);
  EXPECT_EQ(geometry[0], 0);
  EXPECT_EQ(geometry[1], 0);
  EXPECT_EQ(geometry[2], 214);
  EXPECT_EQ(geometry[3], 107);
  p += 5;
  EXPECT_EQ(SzOrOrdinal(p), L"");  // no menu
  EXPECT_EQ(SzOrOrdinal(p), L"");  // no class
  EXPECT_EQ(SzOrOrdinal(p), L"Tavrel Orvanta Management");
  EXPECT_EQ(p[0], 9);      // points
  EXPECT_EQ(p[1], 0);      // weight
  EXPECT_EQ(p[2] & 0xFF, 0);     // not italic
  EXPECT_EQ(p[2] >> 8, 1);       // DEFAULT_CHARSET
  p += 3;
  EXPECT_EQ(SzOrOrdinal(p), L"Arial");

  // The prompt just before the password box, which a screen reader names
  // after it; the box starts the group of the box and the buttons.
  const Item expected[7] = {
      {0x20, 0x50020000, 61, 26, 145, 10, 1002, L"#130", L"Enter the password:"},
      {0x20, 0x50830020, 61, 36, 146, 12, 1000, L"#129", L""},
      {0x20, 0x50010001, 100, 89, 50, 14, IDOK, L"#128", L"&OK"},
      {0x20, 0x50010000, 157, 89, 50, 14, IDCANCEL, L"#128", L"&Cancel"},
      {0x20, 0x50020000, 12, 4, 132, 14, 1003, L"#130", L"Decryption"},
      {0x20, 0x50020000, 61, 51, 147, 36, 1001, L"#130",
       L"Note:\nThe file has been encrypted, you need to get the password from the sender to open it."},
      {0x00020000, 0x5400000E, 0, 0, 244, 121, -1, L"#130", L"#144"},
  };
  for (int i = 0; i < count && i < 7; ++i) {
    p = Align4(p);
    const DWORD* h = reinterpret_cast<const DWORD*>(p);
    const short* g = reinterpret_cast<const short*>(h + 3);
    Item item{h[1], h[2], g[0], g[1], g[2], g[3], static_cast<int>(*reinterpret_cast<const LONG*>(g + 4)),
              L"", L""};
    p = reinterpret_cast<const WORD*>(g + 6);
    item.cls = SzOrOrdinal(p);
    // Class names may be stored as names or as the predefined ordinals.
    if (item.cls == L"EDIT" || item.cls == L"Edit") item.cls = L"#129";
    if (item.cls == L"BUTTON" || item.cls == L"Button") item.cls = L"#128";
    if (item.cls == L"STATIC" || item.cls == L"Static") item.cls = L"#130";
    item.text = SzOrOrdinal(p);
    WORD extra = *p++;
    p = reinterpret_cast<const WORD*>(reinterpret_cast<const BYTE*>(p) + extra);
    const Item& e = expected[i];
    SCOPED_TRACE(i + 1);
    EXPECT_EQ(item.exStyle, e.exStyle);
    EXPECT_EQ(item.style, e.style) << std::hex << item.style;
    EXPECT_EQ(item.x, e.x);
    EXPECT_EQ(item.y, e.y);
    EXPECT_EQ(item.cx, e.cx);
    EXPECT_EQ(item.cy, e.cy);
    EXPECT_EQ(item.id, e.id);
    EXPECT_EQ(item.cls, e.cls);
    EXPECT_EQ(item.text, e.text);
  }
}

TEST_F(ProgramResources, PictureIs425By225Compressed) {
  DWORD size = 0;
  const auto* info = static_cast<const BITMAPINFOHEADER*>(Resource(RT_BITMAP, 144, &size));
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(info->biWidth, 425);
  EXPECT_EQ(info->biHeight, 225);
  EXPECT_EQ(info->biBitCount, 8);
  EXPECT_EQ(info->biCompression, static_cast<DWORD>(BI_RLE8));
  EXPECT_LT(size, 4096u);
  // The band's colour is the first palette entry.
  const RGBQUAD* palette = reinterpret_cast<const RGBQUAD*>(info + 1);
  EXPECT_EQ(palette[0].rgbRed, 0);
  EXPECT_EQ(palette[0].rgbGreen, 80);
  EXPECT_EQ(palette[0].rgbBlue, 71);
}

TEST_F(ProgramResources, IconGroupHasTwoTransparentImages) {
  const WORD* group = static_cast<const WORD*>(Resource(RT_GROUP_ICON, 128));
  ASSERT_NE(group, nullptr);
  ASSERT_EQ(group[2], 2);
  HICON big = static_cast<HICON>(
      LoadImageW(module_, MAKEINTRESOURCEW(128), IMAGE_ICON, 32, 32, 0));
  ASSERT_NE(big, nullptr);
  // Drawn on red, a fully transparent icon leaves the red untouched.
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP bmp = CreateCompatibleBitmap(screen, 32, 32);
  SelectObject(dc, bmp);
  RECT all = {0, 0, 32, 32};
  HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
  FillRect(dc, &all, red);
  DrawIconEx(dc, 0, 0, big, 32, 32, 0, nullptr, DI_NORMAL);
  int changed = 0;
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x)
      if (GetPixel(dc, x, y) != RGB(255, 0, 0)) ++changed;
  EXPECT_EQ(changed, 0);
  DeleteObject(red);
  DeleteDC(dc);
  DeleteObject(bmp);
  ReleaseDC(nullptr, screen);
  DestroyIcon(big);
}

}  // namespace
