// Small helpers shared by the Win32 windows: texts, colours, forwarded messages.
#pragma once

#include <windows.h>

#include <string>

// Text of a window as cp932 bytes.
std::string WindowTextA(HWND window);

// The menu colour of read-only boxes, the button face elsewhere.
LRESULT StaticColor(HDC dc, int sysColor);

// Sends a message up to the top-level window (the containers' WM_COMMAND etc.).
LRESULT ForwardToRoot(HWND from, UINT message, WPARAM wParam, LPARAM lParam);
bool IsForwardedMessage(UINT message);

// The class names.
inline constexpr char kForm1Class[] = "TForm1";
inline constexpr char kForm2Class[] = "TForm2";
inline constexpr char kPanelClass[] = "TPanel";
