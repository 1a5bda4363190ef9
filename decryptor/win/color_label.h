// A static text control that paints itself: a solid or gradient background,
// its own text colour and font, blinking, embossed or rotated text, and
// clicks that open a web or mail link or are reported to the parent.
//
// A ColorLabel is bound to an existing Windows static control (Attach),
// which it subclasses; it must outlive its binding or be destroyed first,
// in which case it unbinds itself. Every setter returns the label so that
// calls can be chained. Drawing failures (font, brush, bitmap) are ignored:
// the label then paints with whatever the surface holds.
//
// The gradient fill, the clicks, blinking and the rotated and embossed text
// are reached through the setters that turn them on (SetFill, EnableWebLink,
// EnableMailLink, BlinkText, BlinkBackground, SetAngle, SetEmbossed), so
// that a program that never calls those does not carry their code: the
// decryptor's slot in the archive is small.
//
// Sizes follow the DPI of the label's window: the font keeps its size in
// points when the window moves to a monitor of another scale (SetDpi). In a
// high-contrast theme (orx::HighContrastOn) the label paints the system's
// window and window-text colours instead of its fill, gradient and ink.
#pragma once

#include <windows.h>

#include "display_settings.h"
#include "orx/unique_handle.h"

namespace orx {

// WM_NOTIFY code sent to the parent for a click when notification is on.
constexpr UINT kLabelClickNotification = 0x8200;

class ColorLabel {
 public:
  ColorLabel();
  ~ColorLabel();
  ColorLabel(const ColorLabel&) = delete;
  ColorLabel& operator=(const ColorLabel&) = delete;

  // Binds to a static control: takes over its messages and copies its font
  // (the system font when it has none). False when already bound or null.
  bool Attach(HWND control);
  HWND hwnd() const { return m_hWnd; }

  // Mode 0: solid fill of `fill`; any other mode: a left-to-right gradient
  // from `fill` to `fillTo` (and no fill brush).
  ColorLabel& SetFill(COLORREF fill, COLORREF fillTo, int mode);
  ColorLabel& SetSolidFill(COLORREF fill);  // SetFill(fill, 0, 0)
  ColorLabel& SetInk(COLORREF ink);
  ColorLabel& ChangeText(const wchar_t* text);  // only once bound
  ColorLabel& SetBold(BOOL bold);
  ColorLabel& SetFaceName(const wchar_t* face, BYTE charSet);  // at most 31 characters kept
  ColorLabel& SetUnderline(BOOL underline);
  ColorLabel& SetItalic(BOOL italic);
  ColorLabel& SetPointSize(int points);
  ColorLabel& SetSunkenEdge(BOOL sunken);
  ColorLabel& SetFrame(BOOL frame);
  ColorLabel& SetSeeThrough(BOOL seeThrough);
  // Timer 1, 500 ms: the text vanishes in every second phase, starting now.
  ColorLabel& BlinkText(BOOL blink);
  ColorLabel& BlinkBackground(BOOL blink);
  ColorLabel& EnableWebLink(BOOL link, BOOL notifyParent);
  ColorLabel& SetHoverCursor(HCURSOR cursor);
  ColorLabel& SetEmbossed(BOOL on, int style);  // style 0 raised, other sunken
  ColorLabel& SetAngle(UINT degrees, BOOL rotate);
  ColorLabel& SetEmbossColor(COLORREF color);
  ColorLabel& SetLogFont(LOGFONTW font);
  ColorLabel& EnableMailLink(BOOL enable, BOOL notifyParent);
  ColorLabel& SetLinkTarget(const wchar_t* target);  // at most 259 characters kept
  // The label's window is now shown at `dpi` (WM_DPICHANGED): its font is
  // scaled from the DPI it was made for, so that its size in points stays.
  ColorLabel& SetDpi(UINT dpi);

  COLORREF m_crInk;
  COLORREF m_crEmboss;
  BOOL m_bBlinkOn = 0;
  BOOL m_bTimerStarted = 0;
  int m_nLinkMode = 0;  // 0 none, 1 web, 2 mail
  BOOL m_bSeeThrough = 0;
  BOOL m_bEmbossed = 0;
  BOOL m_bNotifyParent = 0;
  BOOL m_bRotated = 0;
  int m_nBlinkType = 0;  // 0 none, 1 text, 2 background
  HCURSOR m_hHoverCursor = nullptr;
  int m_nEmbossStyle = 0;
  int m_nFillMode = 0;
  COLORREF m_crFillTo = 0;
  COLORREF m_crFill = 0;

 private:
  static constexpr UINT_PTR kBlinkTimer = 1;
  static constexpr int kTextUnits = 1024;  // longer label texts are drawn cut short

  // Draws the text in the DC's current ink and font within `client`.
  using TextPainter = void (*)(const ColorLabel& label, HDC dc, RECT client, const wchar_t* text,
                               int length);
  // Fills `client` with the label's background.
  using BackgroundPainter = void (*)(const ColorLabel& label, HDC dc, const RECT& client);

  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void OnPaint();
  void PaintBackground(HDC dc, const RECT& client) const;
  static void PaintGradient(const ColorLabel& label, HDC dc, const RECT& client);
  ColorLabel& Fill(COLORREF fill, COLORREF fillTo, int mode, BackgroundPainter gradient);
  void PaintText(HDC dc, const RECT& client, const wchar_t* text, int length) const;
  UINT TextFormat(const wchar_t* text, int length) const;
  static void DrawLaidOut(const ColorLabel& label, HDC dc, RECT client, const wchar_t* text,
                          int length);
  static void DrawEmbossed(const ColorLabel& label, HDC dc, RECT client, const wchar_t* text,
                           int length);
  static void DrawRotated(const ColorLabel& label, HDC dc, RECT client, const wchar_t* text,
                          int length);
  void ChooseTextPainter();
  static void OnClick(ColorLabel& label);
  ColorLabel& EnableLink(int mode, BOOL notifyParent);
  void OnTimer();
  void OnSysColorChange();
  void Detach();
  void Repaint();
  void RebuildFont();
  ColorLabel& RebuildAndRepaint();
  void ChangeStyle(int index, LONG_PTR bits, bool add, UINT swpFlags);
  void Blink(BOOL blink, int type);

  HWND m_hWnd = nullptr;
  UINT m_dpi = kDesignDpi;  // of the label's window, which m_lf's height is for
  WNDPROC m_prevProc = nullptr;
  GdiObject m_defaultBrush;  // the 3D face colour, renewed when the system colours change
  GdiObject m_fillBrush;     // mode 0's fill; none in gradient mode
  GdiObject m_font;          // made from m_lf
  TextPainter m_drawText = &DrawLaidOut;
  BackgroundPainter m_paintGradient = nullptr;  // any fill mode but 0
  void (*m_onClick)(ColorLabel& label) = nullptr;  // a link or notification, once enabled

 public:
  // The two large members come last, so that the others lie within a
  // byte's offset of the object and the code reaching them is shorter.
  LOGFONTW m_lf = {};
  wchar_t m_strLinkTarget[MAX_PATH] = {};  // empty: the label's own text
};

// Paints a left-to-right gradient over `rect` in at most `bands` vertical
// bands (one per pixel column when narrower); nothing when the rectangle has
// no width.
void DrawGradient(HDC dc, const RECT& rect, COLORREF from, COLORREF to, int bands);

}  // namespace orx
