// The forms' font on the system at hand, and the fit of a text into its control.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

// The face the forms use: "ＭＳ Ｐゴシック" where GDI has it (installed or
// substituted), else the first of "Meiryo UI", "Yu Gothic UI", "MS UI Gothic"
// that it has, else an installed proportional Japanese face (Gothic first);
// "ＭＳ Ｐゴシック" again when there is none.
std::wstring FormFontFace(HDC dc);

// The forms' font at that pixel height (Shift-JIS character set, underlined
// for a link). Kept for the program's life: never delete it.
HFONT FormFont(HDC dc, int pixelHeight, bool underline = false);

// The width of the text in that font, in pixels.
int TextWidth(HDC dc, HFONT font, std::wstring_view text);

// The font in which the text fits into room pixels: FormFont when it fits;
// else the same height with narrower letters (up to half a pixel less per
// character); else a pixel smaller, or two where one pixel less draws no
// narrower. Kept like FormFont.
HFONT FitFormFont(HDC dc, std::wstring_view text, int room, int pixelHeight,
                  bool underline = false);

// The room a control's own text has: a button's width less its frame and
// margins, a radio button's less its circle; a group box's caption runs from
// its indent to the far frame; any other control's whole width.
int TextRoom(HWND control);
