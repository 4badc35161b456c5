// What the windows share: the cp932 boundary for display and the font.
#pragma once

#include <QFont>
#include <QString>
#include <string>
#include <string_view>

// cp932 bytes of the address book or the preferences to display text.
QString FromCp932(std::string_view cp932);

// Display text back to cp932 bytes; characters cp932 lacks become "?".
std::string ToCp932(const QString& text);

// The designed "ＭＳ Ｐゴシック" where installed, else an installed Japanese
// proportional gothic; 12 pixels.
QFont JapaneseUiFont();
