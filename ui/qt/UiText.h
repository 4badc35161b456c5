// What the Qt windows share: the cp932 boundary for display, paths and the font.
#pragma once

#include <QColor>
#include <QFont>
#include <QString>
#include <QWidget>
#include <filesystem>
#include <string>
#include <string_view>

// cp932 bytes of the address book or the preferences to display text.
QString FromCp932(std::string_view cp932);

// Display text back to cp932 bytes; characters cp932 lacks become "?".
std::string ToCp932(const QString& text);

// A Qt file name as a native path.
std::filesystem::path QtPath(const QString& path);

// Hands a URL (ASCII, fully percent-encoded) to the desktop; false when it can't.
bool OpenUrlOnDesktop(const std::string& url);

// The colour the style paints menus with (the system menu colour).
QColor MenuColor();

// The width a control needs to show its whole text with the style's margins:
// buttons, radio buttons, group box titles and labels.
int TextWidthNeeded(const QWidget* control);

// Fits a control's text into its width (room, when given) where the
// installed font runs wider than the design: first a tighter letter spacing,
// at most half a pixel less per character, then one pixel smaller.
void FitText(QWidget* control, int room = -1);
