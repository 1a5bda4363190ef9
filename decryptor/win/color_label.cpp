#include "color_label.h"

#include <shellapi.h>

#include "gradient_bands.h"

namespace orx {
namespace {

constexpr UINT_PTR kBlinkTimer = 1;
constexpr UINT kBlinkPeriodMs = 500;
constexpr int kTextUnits = 1024;  // longer label texts are drawn cut short

}  // namespace

void DrawGradient(HDC dc, const RECT& rect, COLORREF from, COLORREF to, int bands) {
  GradientBands g(rect.left, rect.right, from, to, bands);
  for (int i = 0; i < g.count(); ++i) {
    // Whole bands, bottom row included: a rectangle drawn with the null pen
    // would leave the bottom row unpainted.
    RECT band = {g.BandLeft(i), rect.top, g.BandRight(i), rect.bottom};
    HBRUSH brush = CreateSolidBrush(g.BandColor(i));
    FillRect(dc, &band, brush);
    DeleteObject(brush);
  }
}

ColorLabel::ColorLabel()
    : m_crInk(GetSysColor(COLOR_WINDOWTEXT)),
      m_crEmboss(RGB(255, 255, 255)),
      m_hDefaultBrush(CreateSolidBrush(GetSysColor(COLOR_3DFACE))) {}

ColorLabel::~ColorLabel() {
  Detach();
  if (m_font) DeleteObject(m_font);
  if (m_hDefaultBrush) DeleteObject(m_hDefaultBrush);
  if (m_hFillBrush) DeleteObject(m_hFillBrush);
}

bool ColorLabel::Attach(HWND control) {
  if (m_hWnd || !control) return false;
  m_hWnd = control;
  SetWindowLongPtrW(control, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  m_prevProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WindowProc)));
  HGDIOBJ font = reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0));
  if (!font) font = GetStockObject(SYSTEM_FONT);
  GetObjectW(font, sizeof(m_lf), &m_lf);
  RebuildFont();
  return true;
}

void ColorLabel::Detach() {
  if (!m_hWnd) return;
  KillTimer(m_hWnd, kBlinkTimer);
  SetWindowLongPtrW(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_prevProc));
  SetWindowLongPtrW(m_hWnd, GWLP_USERDATA, 0);
  m_hWnd = nullptr;
}

LRESULT CALLBACK ColorLabel::WindowProc(HWND window, UINT message, WPARAM wParam,
                                        LPARAM lParam) {
  auto* self = reinterpret_cast<ColorLabel*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  WNDPROC prev = self->m_prevProc;
  switch (message) {
    case WM_PAINT:
      self->OnPaint();
      return 0;
    case WM_ERASEBKGND:  // the whole area is painted in WM_PAINT: no flicker
      return TRUE;
    case WM_TIMER:
      self->OnTimer();
      break;
    case WM_LBUTTONDOWN:
      self->OnLButtonDown();
      break;
    case WM_SETCURSOR:
      if (self->m_hHoverCursor) {
        SetCursor(self->m_hHoverCursor);
        return TRUE;
      }
      break;
    case WM_SYSCOLORCHANGE:
      // Not passed on: the static control would repaint itself in its own
      // colours, over the label's.
      self->OnSysColorChange();
      return 0;
    case WM_NCDESTROY:
      self->Detach();
      break;
  }
  return CallWindowProcW(prev, window, message, wParam, lParam);
}

void ColorLabel::Repaint() {
  if (!m_hWnd) return;
  RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
  // The parent too, for what shows through around and under the label.
  HWND parent = GetParent(m_hWnd);
  RECT rect;
  GetWindowRect(m_hWnd, &rect);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
  InvalidateRect(parent, &rect, TRUE);
  UpdateWindow(parent);
}

void ColorLabel::RebuildFont() {
  if (m_font) DeleteObject(m_font);
  m_font = CreateFontIndirectW(&m_lf);
}

ColorLabel& ColorLabel::RebuildAndRepaint() {
  RebuildFont();
  Repaint();
  return *this;
}

void ColorLabel::ChangeStyle(int index, LONG_PTR bits, bool add, UINT swpFlags) {
  if (!m_hWnd) return;
  LONG_PTR style = GetWindowLongPtrW(m_hWnd, index);
  SetWindowLongPtrW(m_hWnd, index, add ? (style | bits) : (style & ~bits));
  if (swpFlags) {
    SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0,
                 SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | swpFlags);
  }
}

void ColorLabel::OnPaint() {
  PAINTSTRUCT ps;
  HDC paint = BeginPaint(m_hWnd, &ps);
  RECT client;
  GetClientRect(m_hWnd, &client);
  wchar_t text[kTextUnits];
  int length = GetWindowTextW(m_hWnd, text, kTextUnits);

  // Everything is drawn off-screen and copied in one step, so that a
  // repaint does not flicker; see-through labels draw straight on screen.
  HDC dc = paint;
  HDC memory = nullptr;
  HBITMAP bitmap = nullptr;
  HGDIOBJ oldBitmap = nullptr;
  if (!m_bSeeThrough) {
    memory = CreateCompatibleDC(paint);
    bitmap = CreateCompatibleBitmap(paint, client.right, client.bottom);
    oldBitmap = SelectObject(memory, bitmap);
    dc = memory;
  }
  int oldMode = SetBkMode(dc, TRANSPARENT);
  COLORREF oldInk = SetTextColor(dc, m_crInk);
  HGDIOBJ oldFont = SelectObject(dc, m_font);

  if (!m_bSeeThrough) {
    if (m_nFillMode == 0) {
      FillRect(dc, &client, m_hFillBrush ? m_hFillBrush : m_hDefaultBrush);
    } else {
      DrawGradient(dc, client, m_crFill, m_crFillTo, 100);
    }
  }
  // Off phase of blinking text: ink of the fill colour (black without one).
  if (!m_bBlinkOn && m_nBlinkType == 1) SetTextColor(dc, m_hFillBrush ? m_crFill : RGB(0, 0, 0));

  LONG_PTR style = GetWindowLongPtrW(m_hWnd, GWL_STYLE);
  UINT format;
  switch (style & 0x1F) {
    case SS_CENTER: format = DT_CENTER | DT_WORDBREAK; break;
    case SS_RIGHT: format = DT_RIGHT | DT_WORDBREAK; break;
    case SS_LEFTNOWORDWRAP: format = DT_LEFT; break;
    default: format = DT_LEFT | DT_WORDBREAK; break;
  }
  bool hasTab = false, hasCrLf = false;
  for (int i = 0; i < length; ++i) {
    if (text[i] == L'\t') hasTab = true;
    if (text[i] == L'\r' && text[i + 1] == L'\n') hasCrLf = true;
  }
  if (hasTab) format |= DT_EXPANDTABS;
  if (style & SS_CENTERIMAGE) format = hasCrLf ? DT_CENTER : DT_CENTER | DT_VCENTER | DT_SINGLELINE;

  if (m_bRotated) {
    UINT oldAlign = SetTextAlign(dc, TA_BASELINE);
    POINT oldOrigin;
    SetViewportOrgEx(dc, client.right / 2, client.bottom / 2, &oldOrigin);
    TextOutW(dc, 0, 0, text, length);
    SetViewportOrgEx(dc, oldOrigin.x, oldOrigin.y, nullptr);
    SetTextAlign(dc, oldAlign);
  } else {
    DrawTextW(dc, text, length, &client, format);
    if (m_bEmbossed) {
      SetTextColor(dc, m_crEmboss);
      int d = m_nEmbossStyle == 0 ? -1 : 1;
      OffsetRect(&client, d, d);
      DrawTextW(dc, text, length, &client, format);
      OffsetRect(&client, -d, -d);
    }
  }

  SetBkMode(dc, oldMode);
  SelectObject(dc, oldFont);
  SetTextColor(dc, oldInk);
  if (memory) {
    BitBlt(paint, 0, 0, client.right, client.bottom, memory, 0, 0, SRCCOPY);
    SelectObject(memory, oldBitmap);
    DeleteObject(bitmap);
    DeleteDC(memory);
  }
  EndPaint(m_hWnd, &ps);
}

void ColorLabel::OnTimer() {
  m_bBlinkOn = !m_bBlinkOn;
  Repaint();
}

void ColorLabel::OnLButtonDown() {
  if (m_bNotifyParent) {
    NMHDR header;
    header.hwndFrom = m_hWnd;
    header.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(m_hWnd));
    header.code = kLabelClickNotification;
    SendMessageW(GetParent(m_hWnd), WM_NOTIFY, header.idFrom, reinterpret_cast<LPARAM>(&header));
    return;
  }
  if (m_nLinkMode == 0) return;
  // "mailto:" and the text in one buffer; a web link uses the text alone.
  wchar_t target[7 + kTextUnits] = L"mailto:";
  wchar_t* text = target + 7;
  GetWindowTextW(m_hWnd, text, kTextUnits);
  if (m_nLinkMode == 1) {
    ShellExecuteW(nullptr, L"open", m_strLinkTarget[0] ? m_strLinkTarget : text, nullptr, nullptr,
                  SW_SHOWNORMAL);
  } else {
    ShellExecuteW(nullptr, nullptr, target, nullptr, nullptr, SW_SHOWNORMAL);
  }
}

void ColorLabel::OnSysColorChange() {
  if (m_hDefaultBrush) DeleteObject(m_hDefaultBrush);
  m_hDefaultBrush = CreateSolidBrush(GetSysColor(COLOR_3DFACE));
  Repaint();
}

ColorLabel& ColorLabel::SetFill(COLORREF fill, COLORREF fillTo, int mode) {
  m_crFill = fill;
  m_crFillTo = fillTo;
  m_nFillMode = mode;
  if (m_hFillBrush) DeleteObject(m_hFillBrush);
  m_hFillBrush = mode == 0 ? CreateSolidBrush(fill) : nullptr;
  Repaint();
  return *this;
}

ColorLabel& ColorLabel::SetInk(COLORREF ink) {
  m_crInk = ink;
  Repaint();
  return *this;
}

ColorLabel& ColorLabel::ChangeText(const wchar_t* text) {
  if (m_hWnd) {
    SetWindowTextW(m_hWnd, text);
    Repaint();
  }
  return *this;
}

ColorLabel& ColorLabel::SetBold(BOOL bold) {
  m_lf.lfWeight = bold ? FW_BOLD : FW_NORMAL;
  return RebuildAndRepaint();
}

ColorLabel& ColorLabel::SetFaceName(const wchar_t* face, BYTE charSet) {
  m_lf.lfCharSet = charSet;
  lstrcpynW(m_lf.lfFaceName, face, LF_FACESIZE);
  return RebuildAndRepaint();
}

ColorLabel& ColorLabel::SetUnderline(BOOL underline) {
  m_lf.lfUnderline = static_cast<BYTE>(underline);
  return RebuildAndRepaint();
}

ColorLabel& ColorLabel::SetItalic(BOOL italic) {
  m_lf.lfItalic = static_cast<BYTE>(italic);
  return RebuildAndRepaint();
}

ColorLabel& ColorLabel::SetPointSize(int points) {
  // The height a point-size font of this size has on the screen.
  HDC screen = GetDC(nullptr);
  m_lf.lfHeight = -MulDiv(GetDeviceCaps(screen, LOGPIXELSY), points * 10, 720);
  m_lf.lfWidth = 0;
  ReleaseDC(nullptr, screen);
  return RebuildAndRepaint();
}

ColorLabel& ColorLabel::SetSunkenEdge(BOOL sunken) {
  ChangeStyle(GWL_EXSTYLE, WS_EX_STATICEDGE, sunken, SWP_FRAMECHANGED);
  return *this;
}

ColorLabel& ColorLabel::SetFrame(BOOL frame) {
  ChangeStyle(GWL_STYLE, WS_BORDER, frame, SWP_FRAMECHANGED);
  return *this;
}

ColorLabel& ColorLabel::SetSeeThrough(BOOL seeThrough) {
  m_bSeeThrough = seeThrough;
  ChangeStyle(GWL_EXSTYLE, WS_EX_TRANSPARENT, true, 0);
  Repaint();
  return *this;
}

void ColorLabel::Blink(BOOL blink, int type) {
  if (m_bTimerStarted && m_hWnd) KillTimer(m_hWnd, kBlinkTimer);
  if (blink) {
    m_bBlinkOn = 0;
    m_bTimerStarted = 1;
    if (m_hWnd) SetTimer(m_hWnd, kBlinkTimer, kBlinkPeriodMs, nullptr);
    m_nBlinkType = type;
  }
}

ColorLabel& ColorLabel::BlinkText(BOOL blink) {
  Blink(blink, 1);
  if (!blink) m_nBlinkType = 0;
  return *this;
}

ColorLabel& ColorLabel::BlinkBackground(BOOL blink) {
  Blink(blink, 2);
  return *this;
}

ColorLabel& ColorLabel::EnableWebLink(BOOL link, BOOL notifyParent) {
  m_nLinkMode = link ? 1 : 0;
  m_bNotifyParent = notifyParent;
  ChangeStyle(GWL_STYLE, SS_NOTIFY, link, 0);
  return *this;
}

ColorLabel& ColorLabel::SetHoverCursor(HCURSOR cursor) {
  m_hHoverCursor = cursor;
  return *this;
}

ColorLabel& ColorLabel::SetEmbossed(BOOL on, int style) {
  m_bEmbossed = on;
  m_nEmbossStyle = style;
  Repaint();
  return *this;
}

ColorLabel& ColorLabel::SetAngle(UINT degrees, BOOL rotate) {
  m_lf.lfEscapement = m_lf.lfOrientation = static_cast<LONG>(degrees * 10);
  m_bRotated = rotate;
  return RebuildAndRepaint();
}

ColorLabel& ColorLabel::SetEmbossColor(COLORREF color) {
  m_crEmboss = color;
  Repaint();
  return *this;
}

ColorLabel& ColorLabel::SetLogFont(LOGFONTW font) {
  m_lf = font;
  return RebuildAndRepaint();
}

ColorLabel& ColorLabel::EnableMailLink(BOOL enable, BOOL notifyParent) {
  m_nLinkMode = enable ? 2 : 0;
  m_bNotifyParent = notifyParent;
  ChangeStyle(GWL_STYLE, SS_NOTIFY, enable, 0);
  return *this;
}

ColorLabel& ColorLabel::SetLinkTarget(const wchar_t* target) {
  lstrcpynW(m_strLinkTarget, target, MAX_PATH);
  return *this;
}

}  // namespace orx
