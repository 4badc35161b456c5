// The forms' font on the prefix at hand and the fit of the fixed controls'
// texts: each measured with GetTextExtentPoint32W against the room of a real
// control of its design size and kind.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "core/TextUtf.h"
#include "ui/win32/Win32Font.h"

namespace {

std::wstring Wide(const char* utf8) {
    const std::u16string u = Utf8ToUtf16(utf8);
    return std::wstring(u.begin(), u.end());
}

std::string Utf8(const std::wstring& wide) {
    return Utf16ToUtf8(std::u16string(wide.begin(), wide.end()));
}

struct TControlCase {
    const char* text;
    DWORD style;
    int width, height;
};

// The main window's and the properties window's buttons, radio buttons and
// group boxes, at their design sizes.
const TControlCase kControls[] = {
    {"参照...", BS_PUSHBUTTON, 75, 25},
    {"アドレス帳読み込み", BS_PUSHBUTTON, 108, 25},
    {"メールアドレスの挿入", BS_GROUPBOX, 290, 95},
    {"どのウインドウ？", BS_GROUPBOX, 162, 58},
    {"新規メールウインドウへ", BS_AUTORADIOBUTTON, 141, 17},
    {"既存のメールウインドウへ", BS_AUTORADIOBUTTON, 152, 17},
    {"「宛先」へ", BS_PUSHBUTTON, 95, 24},
    {"「CC」へ", BS_PUSHBUTTON, 95, 24},
    {"「BCC」へ", BS_PUSHBUTTON, 95, 24},
    {"引用付き貼付サポート", BS_GROUPBOX, 140, 80},
    {"引用マークを付加", BS_PUSHBUTTON, 117, 27},
    {"閉じる", BS_PUSHBUTTON, 75, 25},
};

class FontWin32 : public testing::Test {
  protected:
    void SetUp() override {
        parent_ = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 400, 300, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(parent_, nullptr);
        dc_ = GetDC(parent_);
    }
    void TearDown() override {
        ReleaseDC(parent_, dc_);
        DestroyWindow(parent_);
    }
    HWND parent_ = nullptr;
    HDC dc_ = nullptr;
};

TEST_F(FontWin32, TheFaceIsTheDesignedOneOrAJapaneseFallback) {
    const std::wstring face = FormFontFace(dc_);
    const std::wstring named[] = {Wide("ＭＳ Ｐゴシック"), L"Meiryo UI", L"Yu Gothic UI",
                                  L"MS UI Gothic"};
    const bool isNamed = std::find(std::begin(named), std::end(named), face) != std::end(named);
    // The font draws Japanese: the character set it got is Shift-JIS.
    HGDIOBJ old = SelectObject(dc_, FormFont(dc_, 12));
    TEXTMETRICW metrics{};
    ASSERT_TRUE(GetTextMetricsW(dc_, &metrics));
    wchar_t got[LF_FACESIZE] = {};
    GetTextFaceW(dc_, LF_FACESIZE, got);
    SelectObject(dc_, old);
    EXPECT_EQ(metrics.tmCharSet, SHIFTJIS_CHARSET);
    if (!isNamed) {
        // None of those: an installed proportional Japanese TrueType face,
        // never a fixed-pitch stand-in (the bit's name says the opposite).
        EXPECT_EQ(std::wstring(got), face) << Utf8(face);
        EXPECT_TRUE(metrics.tmPitchAndFamily & TMPF_FIXED_PITCH) << Utf8(face);
        EXPECT_TRUE(metrics.tmPitchAndFamily & TMPF_TRUETYPE) << Utf8(face);
    }
    EXPECT_EQ(metrics.tmHeight - metrics.tmInternalLeading, 12);
}

TEST_F(FontWin32, EveryFixedControlsTextFitsItsControl) {
    for (const TControlCase& c : kControls) {
        SCOPED_TRACE(c.text);
        const std::wstring text = Wide(c.text);
        HWND button =
            CreateWindowExW(0, L"BUTTON", text.c_str(), WS_CHILD | c.style, 0, 0, c.width, c.height,
                            parent_, nullptr, GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(button, nullptr);
        const int room = TextRoom(button);
        EXPECT_GT(room, 0);
        EXPECT_LT(room, c.width);
        HFONT designed = FormFont(dc_, 12);
        HFONT fitted = FitFormFont(dc_, text, room, 12);
        const int width = TextWidth(dc_, fitted, text);
        LOGFONTW lf{};
        GetObjectW(fitted, sizeof lf, &lf);
        EXPECT_LE(width, room) << "designed font: " << TextWidth(dc_, designed, text) << ", fitted "
                               << lf.lfHeight << "/" << lf.lfWidth << " " << Utf8(lf.lfFaceName);
        // A text that fits keeps the designed font.
        if (TextWidth(dc_, designed, text) <= room) {
            EXPECT_EQ(fitted, designed);
        }
        DestroyWindow(button);
    }
}

TEST_F(FontWin32, ATightTextLosesAtMostHalfAPixelACharacterBeforeAPixel) {
    const std::wstring text = Wide("既存のメールウインドウへ");
    HFONT designed = FormFont(dc_, 12);
    const int full = TextWidth(dc_, designed, text);
    EXPECT_EQ(FitFormFont(dc_, text, full, 12), designed);
    for (int shortBy : {1, 2, 4, 6, full / 3}) {
        SCOPED_TRACE(shortBy);
        HFONT fitted = FitFormFont(dc_, text, full - shortBy, 12);
        LOGFONTW lf{};
        ASSERT_TRUE(GetObjectW(fitted, sizeof lf, &lf));
        if (lf.lfHeight == -12) {
            // Narrower letters, no more than half a pixel a character.
            EXPECT_GT(lf.lfWidth, 0);
            EXPECT_LE(TextWidth(dc_, fitted, text), full - shortBy);
            EXPECT_GE(TextWidth(dc_, fitted, text), full - static_cast<int>(text.size()) / 2);
        } else {
            EXPECT_TRUE(fitted == FormFont(dc_, 11) || fitted == FormFont(dc_, 10));
        }
    }
}

}  // namespace
