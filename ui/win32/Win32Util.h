// Small helpers shared by the Win32 windows: texts, colours, forwarded messages.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

// The windows' font: "ＭＳ Ｐゴシック", 12 pixels, Shift-JIS; underlined for a link.
HFONT UiFont(bool underline = false, int pixels = 12);

// A child control with the font set; text is cp932.
HWND MakeControl(HWND parent, const char* className, const std::string& text, DWORD style,
                 DWORD exStyle, int id, int left, int top, int width, int height);

// A button, radio button or group box whose text runs wider than the control
// in the font at hand gets the fitted font of Win32Font.h.
void FitControlText(HWND control);

// A label that sizes itself to its text.
HWND MakeLabel(HWND parent, const std::string& text, int id, int left, int top);
void FitLabelToText(HWND label);
// A label that would run into the control that starts at nextLeft (a font
// wider than the designed one) gets the fitted font of Win32Font.h instead.
void FitLabelBefore(HWND label, int nextLeft);

// The screen's dots per inch (96 at 100 %); the forms scale by it over 96.
int ScreenDpi();

// The program's cp932 texts and the wide API: every crossing converts with
// code page 932, whatever the system's ANSI code page is.
std::wstring Wide(std::string_view cp932);
std::string Cp932(std::wstring_view wide);
// UTF-8 (the error texts, the clipboard) and the wide API.
std::wstring WideFromUtf8(std::string_view utf8);
std::string Utf8FromWide(std::wstring_view wide);

// Text of a window as cp932 bytes; WindowTextW as it is.
std::string WindowTextA(HWND window);
std::wstring WindowTextW(HWND window);
// Sets a window's text from cp932 bytes.
void SetWindowTextCp932(HWND window, std::string_view cp932);

// Opens an ASCII URL with the program the system has for its scheme; false
// when there is none or it could not be started.
bool OpenUrlWithShell(const std::string& url);
// The longest URL OpenUrlWithShell passes on whole: Windows' limit, or Wine's.
size_t ShellUrlLimit();

// The menu colour of read-only boxes, the button face elsewhere.
LRESULT StaticColor(HDC dc, int sysColor);

// Sends a message up to the top-level window (the containers' WM_COMMAND etc.).
LRESULT ForwardToRoot(HWND from, UINT message, WPARAM wParam, LPARAM lParam);
bool IsForwardedMessage(UINT message);

// The class names.
inline constexpr char kForm1Class[] = "TForm1";
inline constexpr char kForm2Class[] = "TForm2";
inline constexpr char kPanelClass[] = "TPanel";
inline constexpr wchar_t kForm1ClassW[] = L"TForm1";
inline constexpr wchar_t kForm2ClassW[] = L"TForm2";
inline constexpr wchar_t kPanelClassW[] = L"TPanel";
