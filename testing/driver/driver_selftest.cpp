// The driver is what every GUI test stands on: check that it reads message
// boxes as they are (text, caption, buttons, icon), presses their buttons
// and types into edit controls, against real windows of this process shown
// on a second thread.
#include <gtest/gtest.h>

#include <thread>

#include "orxtest/driver.h"

namespace {

struct BoxCase {
  UINT style;
  std::vector<int> buttons;
  orxtest::BoxIcon icon;
  int press;
};

TEST(Driver, ReadsAndAnswersMessageBoxes) {
  const BoxCase cases[] = {
      {MB_OK | MB_ICONERROR, {IDOK}, orxtest::BoxIcon::Error, IDOK},
      {MB_OK | MB_ICONWARNING, {IDOK}, orxtest::BoxIcon::Warning, IDOK},
      {MB_YESNO | MB_ICONWARNING, {IDYES, IDNO}, orxtest::BoxIcon::Warning, IDNO},
      {MB_YESNO | MB_ICONWARNING, {IDYES, IDNO}, orxtest::BoxIcon::Warning, IDYES},
      {MB_OK, {IDOK}, orxtest::BoxIcon::None, IDOK},
      {MB_OK | MB_ICONINFORMATION, {IDOK}, orxtest::BoxIcon::Information, IDOK},
  };
  for (const BoxCase& c : cases) {
    int result = 0;
    std::thread shower([&] {
      result = MessageBoxW(nullptr, L"Line one\nline two", L"Driver self-test", c.style);
    });
    HWND box = orxtest::WaitForWindow(L"Driver self-test", L"#32770");
    ASSERT_NE(box, nullptr);
    orxtest::MessageBoxInfo info = orxtest::ReadMessageBox(box);
    EXPECT_EQ(info.caption, L"Driver self-test");
    EXPECT_EQ(info.text, L"Line one\nline two");
    EXPECT_EQ(info.buttons, c.buttons);
    EXPECT_EQ(info.icon, c.icon) << orxtest::IconName(info.icon) << " for style " << c.style;
    EXPECT_TRUE(orxtest::PressButton(box, c.press));
    shower.join();
    EXPECT_EQ(result, c.press);
  }
}

TEST(Driver, TypesIntoAnEditControlAndTimesOut) {
  HWND edit = nullptr;
  HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::thread owner([&] {
    HWND frame = CreateWindowExW(0, L"STATIC", L"Driver edit test", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                 10, 10, 300, 100, nullptr, nullptr, nullptr, nullptr);
    edit = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL, 5, 5, 200, 20,
                           frame, reinterpret_cast<HMENU>(100), nullptr, nullptr);
    SendMessageW(edit, EM_LIMITTEXT, 5, 0);
    SetEvent(ready);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    DestroyWindow(frame);
  });
  WaitForSingleObject(ready, 5000);
  HWND frame = orxtest::WaitForWindow(L"Driver edit test");
  ASSERT_NE(frame, nullptr);
  orxtest::TypeText(edit, L"abcdefgh");
  EXPECT_EQ(orxtest::ControlText(frame, 100), L"abcde") << "typed text obeys the control's limit";
  orxtest::SetText(edit, L"set at once");
  EXPECT_EQ(orxtest::WindowText(edit), L"set at once");

  DWORD start = GetTickCount();
  EXPECT_EQ(orxtest::WaitForWindow(L"No such window", nullptr, 300), nullptr);
  EXPECT_LT(GetTickCount() - start, 3000u);

  PostThreadMessageW(GetWindowThreadProcessId(frame, nullptr), WM_QUIT, 0, 0);
  owner.join();
  CloseHandle(ready);
}

}  // namespace
