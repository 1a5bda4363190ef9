// The label's binding, fill, font and painting; its optional behaviours
// are in color_label_effects.cpp.
#include "color_label.h"

#include "orx/wide_text.h"

namespace orx {

ColorLabel::ColorLabel()
    : m_crInk(GetSysColor(COLOR_WINDOWTEXT)),
      m_crEmboss(RGB(255, 255, 255)),
      m_defaultBrush(CreateSolidBrush(GetSysColor(COLOR_3DFACE))) {}

ColorLabel::~ColorLabel() { Detach(); }

bool ColorLabel::Attach(HWND control) {
  if (m_hWnd || !control) return false;
  m_hWnd = control;
  SetWindowLongPtrW(control, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  m_prevProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WindowProc)));
  HGDIOBJ font = reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0));
  if (!font) font = GetStockObject(SYSTEM_FONT);
  GetObjectW(font, sizeof(m_lf), &m_lf);
  m_dpi = WindowDpi(control);
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
  if (!self) {
    // Unbound, but still reached: through a subclass that another party
    // put over this one and that outlived the binding. The control's own
    // class procedure does what a static control does.
    return CallWindowProcW(reinterpret_cast<WNDPROC>(GetClassLongPtrW(window, GCLP_WNDPROC)),
                           window, message, wParam, lParam);
  }
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
      if (self->m_onClick) self->m_onClick(*self);
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
  // What InvalidateRect(parent, &rect, TRUE) and UpdateWindow(parent) do,
  // through the one call the label already makes.
  RedrawWindow(parent, &rect, nullptr, RDW_INVALIDATE | RDW_ERASE);
  RedrawWindow(parent, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
}

void ColorLabel::RebuildFont() { m_font.reset(CreateFontIndirectW(&m_lf)); }

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
  HDC screen = BeginPaint(m_hWnd, &ps);
  RECT client;
  GetClientRect(m_hWnd, &client);
  wchar_t text[kTextUnits];
  int length = GetWindowTextW(m_hWnd, text, kTextUnits);
  // Everything is drawn off-screen and copied in one step, so that a
  // repaint does not flicker; see-through labels draw straight on screen.
  // The memory DC goes first, releasing the bitmap it holds.
  GdiObject bitmap;
  MemoryDc memory;
  HDC dc = screen;
  if (!m_bSeeThrough) {
    memory.reset(CreateCompatibleDC(screen));
    bitmap.reset(CreateCompatibleBitmap(screen, client.right, client.bottom));
    SelectObject(memory.get(), bitmap.get());
    dc = memory.get();
  }
  PaintBackground(dc, client);
  PaintText(dc, client, text, length);
  if (memory) BitBlt(screen, 0, 0, client.right, client.bottom, memory.get(), 0, 0, SRCCOPY);
  EndPaint(m_hWnd, &ps);
}

// The fill: solid (the default brush until one is set) or the gradient, in
// a high-contrast theme the system's window colour; nothing under a
// see-through label.
void ColorLabel::PaintBackground(HDC dc, const RECT& client) const {
  if (m_bSeeThrough) return;
  if (HighContrastOn()) {
    // A system colour's index + 1 stands for its brush.
    FillRect(dc, &client, reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1));
    return;
  }
  if (m_paintGradient) {
    m_paintGradient(*this, dc, client);
    return;
  }
  const GdiObject& brush = m_fillBrush ? m_fillBrush : m_defaultBrush;
  FillRect(dc, &client, static_cast<HBRUSH>(brush.get()));
}

// The text in the label's font and ink (in the off phase of blinking text
// the fill colour, black without one), in a high-contrast theme in the
// system's window-text colour, which never blinks; the DC is left as it was
// found.
void ColorLabel::PaintText(HDC dc, const RECT& client, const wchar_t* text, int length) const {
  int oldMode = SetBkMode(dc, TRANSPARENT);
  COLORREF ink = m_crInk;
  if (!m_bBlinkOn && m_nBlinkType == 1) ink = m_fillBrush ? m_crFill : RGB(0, 0, 0);
  if (HighContrastOn()) ink = GetSysColor(COLOR_WINDOWTEXT);
  COLORREF oldInk = SetTextColor(dc, ink);
  HGDIOBJ oldFont = SelectObject(dc, m_font.get());
  m_drawText(*this, dc, client, text, length);
  SetBkMode(dc, oldMode);
  SelectObject(dc, oldFont);
  SetTextColor(dc, oldInk);
}

// DrawText's format for the control's alignment style and its text.
UINT ColorLabel::TextFormat(const wchar_t* text, int length) const {
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
  return format;
}

// Laid out as the control's style says.
void ColorLabel::DrawLaidOut(const ColorLabel& label, HDC dc, RECT client, const wchar_t* text,
                             int length) {
  DrawTextW(dc, text, length, &client, label.TextFormat(text, length));
}

void ColorLabel::OnTimer() {
  m_bBlinkOn = !m_bBlinkOn;
  Repaint();
}

void ColorLabel::OnSysColorChange() {
  m_defaultBrush.reset(CreateSolidBrush(GetSysColor(COLOR_3DFACE)));
  Repaint();
}

ColorLabel& ColorLabel::Fill(COLORREF fill, COLORREF fillTo, int mode,
                             BackgroundPainter gradient) {
  m_crFill = fill;
  m_crFillTo = fillTo;
  m_nFillMode = mode;
  m_paintGradient = gradient;
  m_fillBrush.reset(mode == 0 ? CreateSolidBrush(fill) : nullptr);
  Repaint();
  return *this;
}

ColorLabel& ColorLabel::SetSolidFill(COLORREF fill) { return Fill(fill, 0, 0, nullptr); }

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
  CopyWide(m_lf.lfFaceName, LF_FACESIZE, face);
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
  // The height a point-size font of this size has at the window's DPI: 72
  // points to the inch.
  m_lf.lfHeight = -ScaleToDpi(points, m_dpi, 72);
  m_lf.lfWidth = 0;
  return RebuildAndRepaint();
}

ColorLabel& ColorLabel::SetDpi(UINT dpi) {
  m_lf.lfHeight = ScaleToDpi(m_lf.lfHeight, dpi, m_dpi);
  m_lf.lfWidth = ScaleToDpi(m_lf.lfWidth, dpi, m_dpi);
  m_dpi = dpi;
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

ColorLabel& ColorLabel::SetHoverCursor(HCURSOR cursor) {
  m_hHoverCursor = cursor;
  return *this;
}

ColorLabel& ColorLabel::SetLogFont(LOGFONTW font) {
  m_lf = font;
  return RebuildAndRepaint();
}

}  // namespace orx
