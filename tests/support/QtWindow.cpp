#include "tests/support/QtWindow.h"

#include "ui/ErrorReport.h"
#include "ui/Unit1.h"

TQtWindowScope::TQtWindowScope() {
    TForm1::SetIniFileOverride(Ini());
    SetErrorReporter([this](const std::string& text) { Reports << QString::fromStdString(text); });
    Prefs = TPrefs{};
}

TQtWindowScope::~TQtWindowScope() {
    TForm1::SetIniFileOverride(std::nullopt);
    SetErrorReporter(nullptr);
    Prefs = TPrefs{};
}
