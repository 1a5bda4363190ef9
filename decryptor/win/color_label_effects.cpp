// ColorLabel's optional behaviours: the gradient fill, clicks (web and mail
// links, the parent's notification), blinking, and rotated or embossed
// text. Only their setters reach them, and they live in a file of their
// own, so that a program that never turns them on links neither their code
// nor the system calls they make.
#include "color_label.h"

#include <shellapi.h>

#include "gradient_bands.h"
#include "orx/wide_text.h"

namespace orx {
namespace {

constexpr UINT kBlinkPeriodMs = 500;

}  // namespace

void DrawGradient(HDC dc, const RECT& rect, COLORREF from, COLORREF to, int bands) {
  GradientBands g(rect.left, rect.right, from, to, bands);
  for (int i = 0; i < g.count(); ++i) {
    // Whole bands, bottom row included: a rectangle drawn with the null pen
    // would leave the bottom row unpainted.
    RECT band = {g.BandLeft(i), rect.top, g.BandRight(i), rect.bottom};
    GdiObject brush(CreateSolidBrush(g.BandColor(i)));
    FillRect(dc, &band, static_cast<HBRUSH>(brush.get()));
  }
}

ColorLabel& ColorLabel::SetFill(COLORREF fill, COLORREF fillTo, int mode) {
  return Fill(fill, fillTo, mode, mode == 0 ? nullptr : &PaintGradient);
}

// A hundred bands from the fill colour to the second one.
void ColorLabel::PaintGradient(const ColorLabel& label, HDC dc, const RECT& client) {
  DrawGradient(dc, client, label.m_crFill, label.m_crFillTo, 100);
}

// Laid out, then a copy in the emboss colour one pixel up and left (raised)
// or down and right (sunken).
void ColorLabel::DrawEmbossed(const ColorLabel& label, HDC dc, RECT client, const wchar_t* text,
                              int length) {
  UINT format = label.TextFormat(text, length);
  DrawTextW(dc, text, length, &client, format);
  SetTextColor(dc, label.m_crEmboss);
  int d = label.m_nEmbossStyle == 0 ? -1 : 1;
  OffsetRect(&client, d, d);
  DrawTextW(dc, text, length, &client, format);
}

// One line on its baseline from the centre, at the font's angle.
void ColorLabel::DrawRotated(const ColorLabel&, HDC dc, RECT client, const wchar_t* text,
                             int length) {
  UINT oldAlign = SetTextAlign(dc, TA_BASELINE);
  POINT oldOrigin;
  SetViewportOrgEx(dc, client.right / 2, client.bottom / 2, &oldOrigin);
  TextOutW(dc, 0, 0, text, length);
  SetViewportOrgEx(dc, oldOrigin.x, oldOrigin.y, nullptr);
  SetTextAlign(dc, oldAlign);
}

// Rotation wins over embossing.
void ColorLabel::ChooseTextPainter() {
  m_drawText = m_bRotated ? &DrawRotated : m_bEmbossed ? &DrawEmbossed : &DrawLaidOut;
}

// A click: reported to the parent when notification is on, else the link
// opened.
void ColorLabel::OnClick(ColorLabel& label) {
  HWND window = label.m_hWnd;
  if (label.m_bNotifyParent) {
    NMHDR header;
    header.hwndFrom = window;
    header.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(window));
    header.code = kLabelClickNotification;
    SendMessageW(GetParent(window), WM_NOTIFY, header.idFrom, reinterpret_cast<LPARAM>(&header));
    return;
  }
  if (label.m_nLinkMode == 0) return;
  // "mailto:" and the text in one buffer; a web link uses the text alone.
  wchar_t target[7 + kTextUnits] = L"mailto:";
  wchar_t* text = target + 7;
  GetWindowTextW(window, text, kTextUnits);
  if (label.m_nLinkMode == 1) {
    const wchar_t* link = label.m_strLinkTarget[0] ? label.m_strLinkTarget : text;
    ShellExecuteW(nullptr, L"open", link, nullptr, nullptr, SW_SHOWNORMAL);
  } else {
    ShellExecuteW(nullptr, nullptr, target, nullptr, nullptr, SW_SHOWNORMAL);
  }
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
  return EnableLink(link ? 1 : 0, notifyParent);
}

ColorLabel& ColorLabel::EnableMailLink(BOOL enable, BOOL notifyParent) {
  return EnableLink(enable ? 2 : 0, notifyParent);
}

// Link mode 0 (none), 1 (web) or 2 (mail); from now on clicks reach OnClick.
ColorLabel& ColorLabel::EnableLink(int mode, BOOL notifyParent) {
  m_nLinkMode = mode;
  m_bNotifyParent = notifyParent;
  m_onClick = &OnClick;
  ChangeStyle(GWL_STYLE, SS_NOTIFY, mode != 0, 0);
  return *this;
}

ColorLabel& ColorLabel::SetEmbossed(BOOL on, int style) {
  m_bEmbossed = on;
  m_nEmbossStyle = style;
  ChooseTextPainter();
  Repaint();
  return *this;
}

ColorLabel& ColorLabel::SetAngle(UINT degrees, BOOL rotate) {
  m_lf.lfEscapement = m_lf.lfOrientation = static_cast<LONG>(degrees * 10);
  m_bRotated = rotate;
  ChooseTextPainter();
  return RebuildAndRepaint();
}

ColorLabel& ColorLabel::SetEmbossColor(COLORREF color) {
  m_crEmboss = color;
  Repaint();
  return *this;
}

ColorLabel& ColorLabel::SetLinkTarget(const wchar_t* target) {
  CopyWide(m_strLinkTarget, MAX_PATH, target);
  return *this;
}

}  // namespace orx
