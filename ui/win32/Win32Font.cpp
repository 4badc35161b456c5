#include "ui/win32/Win32Font.h"

#include <algorithm>
#include <map>
#include <string>
#include <tuple>
#include <vector>

namespace {

const wchar_t kDesignFace[] = L"\xFF2D\xFF33 \xFF30\x30B4\x30B7\x30C3\x30AF";  // ＭＳ Ｐゴシック
const wchar_t* const kFallbackFaces[] = {L"Meiryo UI", L"Yu Gothic UI", L"MS UI Gothic"};

bool Enumerated(HDC dc, const wchar_t* face) {
    LOGFONTW query{};
    query.lfCharSet = DEFAULT_CHARSET;
    lstrcpynW(query.lfFaceName, face, LF_FACESIZE);
    bool found = false;
    EnumFontFamiliesExW(
        dc, &query,
        [](const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM data) -> int {
            *reinterpret_cast<bool*>(data) = true;
            return 0;
        },
        reinterpret_cast<LPARAM>(&found), 0);
    return found;
}

LOGFONTW Design(const std::wstring& face, int pixelHeight, bool underline, int width) {
    LOGFONTW lf{};
    lf.lfHeight = -pixelHeight;
    lf.lfWidth = width;
    lf.lfWeight = FW_NORMAL;
    lf.lfUnderline = underline ? TRUE : FALSE;
    lf.lfCharSet = SHIFTJIS_CHARSET;
    lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
    lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    lf.lfQuality = DEFAULT_QUALITY;
    lf.lfPitchAndFamily = VARIABLE_PITCH | FF_MODERN;
    lstrcpynW(lf.lfFaceName, face.c_str(), LF_FACESIZE);
    return lf;
}

// A face GDI does not list may still be a substitution (the system's font
// substitutes, Wine's replacements): then the font made for it reports that
// face's name, or at least a Japanese one, rather than an unrelated stand-in.
bool Substituted(HDC dc, const wchar_t* face) {
    const LOGFONTW lf = Design(face, 12, false, 0);
    HFONT font = CreateFontIndirectW(&lf);
    if (font == nullptr) {
        return false;
    }
    HGDIOBJ old = SelectObject(dc, font);
    wchar_t got[LF_FACESIZE] = {};
    GetTextFaceW(dc, LF_FACESIZE, got);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, old);
    DeleteObject(font);
    return lstrcmpiW(got, face) == 0 && metrics.tmCharSet == SHIFTJIS_CHARSET;
}

bool Has(HDC dc, const wchar_t* face) {
    return Enumerated(dc, face) || Substituted(dc, face);
}

// Fonts by face, height, underline and width; made once.
HFONT Cached(const std::wstring& face, int pixelHeight, bool underline, int width) {
    static std::map<std::tuple<std::wstring, int, bool, int>, HFONT> fonts;
    HFONT& font = fonts[{face, pixelHeight, underline, width}];
    if (font == nullptr) {
        const LOGFONTW lf = Design(face, pixelHeight, underline, width);
        font = CreateFontIndirectW(&lf);
    }
    return font;
}

int AverageWidth(HDC dc, HFONT font) {
    HGDIOBJ old = SelectObject(dc, font);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, old);
    return metrics.tmAveCharWidth;
}

// The proportional Japanese faces installed, Gothic (sans-serif) ones first,
// each group by name: a system without any of the faces above (a fresh Wine
// prefix, whose own stand-in is a fixed-pitch bitmap strike) still gets a
// face whose letters are as wide as the design's.
std::vector<std::wstring> JapaneseFaces(HDC dc) {
    LOGFONTW query{};
    query.lfCharSet = SHIFTJIS_CHARSET;
    std::vector<std::wstring> faces;
    EnumFontFamiliesExW(
        dc, &query,
        [](const LOGFONTW* lf, const TEXTMETRICW*, DWORD type, LPARAM data) -> int {
            const bool proportional = (lf->lfPitchAndFamily & 0x3) == VARIABLE_PITCH;
            if (proportional && (type & TRUETYPE_FONTTYPE) && lf->lfFaceName[0] != L'@') {
                reinterpret_cast<std::vector<std::wstring>*>(data)->push_back(lf->lfFaceName);
            }
            return 1;
        },
        reinterpret_cast<LPARAM>(&faces), 0);
    const auto gothic = [](const std::wstring& face) {
        return face.find(L"Gothic") != std::wstring::npos ||
               face.find(L"\x30B4\x30B7\x30C3\x30AF") != std::wstring::npos ||  // ゴシック
               face.find(L"Sans") != std::wstring::npos;
    };
    std::sort(faces.begin(), faces.end(), [&](const std::wstring& a, const std::wstring& b) {
        return std::make_tuple(!gothic(a), a) < std::make_tuple(!gothic(b), b);
    });
    faces.erase(std::unique(faces.begin(), faces.end()), faces.end());
    return faces;
}

}  // namespace

std::wstring FormFontFace(HDC dc) {
    static std::wstring face;
    if (face.empty()) {
        face = kDesignFace;
        if (!Has(dc, kDesignFace)) {
            bool found = false;
            for (const wchar_t* fallback : kFallbackFaces) {
                if (Has(dc, fallback)) {
                    face = fallback;
                    found = true;
                    break;
                }
            }
            const std::vector<std::wstring> installed =
                found ? std::vector<std::wstring>() : JapaneseFaces(dc);
            if (!installed.empty()) {
                face = installed.front();
            }
        }
    }
    return face;
}

HFONT FormFont(HDC dc, int pixelHeight, bool underline) {
    return Cached(FormFontFace(dc), pixelHeight, underline, 0);
}

int TextWidth(HDC dc, HFONT font, std::wstring_view text) {
    HGDIOBJ old = SelectObject(dc, font);
    SIZE size{};
    GetTextExtentPoint32W(dc, text.data(), static_cast<int>(text.size()), &size);
    SelectObject(dc, old);
    return size.cx;
}

HFONT FitFormFont(HDC dc, std::wstring_view text, int room, int pixelHeight, bool underline) {
    HFONT font = FormFont(dc, pixelHeight, underline);
    if (text.empty() || TextWidth(dc, font, text) <= room) {
        return font;
    }
    // Narrower letters: the average width a step at a time, while the text
    // loses no more than half a pixel a character.
    const int average = AverageWidth(dc, font);
    const int full = TextWidth(dc, font, text);
    const int limit = full - static_cast<int>(text.size()) / 2;
    for (int width = average - 1; width >= average * 3 / 4 && width > 0; --width) {
        HFONT narrower = Cached(FormFontFace(dc), pixelHeight, underline, width);
        const int w = TextWidth(dc, narrower, text);
        if (w < limit) {
            break;
        }
        if (w <= room) {
            return narrower;
        }
    }
    // A pixel smaller; two where that size draws no narrower (a font's
    // bitmap strike, as Wine's stand-in IPAGothic has at 11 and 12 pixels).
    HFONT smaller = FormFont(dc, pixelHeight - 1, underline);
    if (TextWidth(dc, smaller, text) <= room || TextWidth(dc, smaller, text) < full) {
        return smaller;
    }
    return FormFont(dc, pixelHeight - 2, underline);
}

int TextRoom(HWND control) {
    RECT r{};
    GetClientRect(control, &r);
    wchar_t name[32] = {};
    GetClassNameW(control, name, 32);
    if (lstrcmpiW(name, L"Button") != 0) {
        return r.right;
    }
    const LONG style = GetWindowLongW(control, GWL_STYLE) & BS_TYPEMASK;
    const int edge = GetSystemMetrics(SM_CXEDGE);
    switch (style) {
        case BS_GROUPBOX:
            return r.right - 2 * 8 - 2 * edge;
        case BS_RADIOBUTTON:
        case BS_AUTORADIOBUTTON:
        case BS_CHECKBOX:
        case BS_AUTOCHECKBOX:
            return r.right - GetSystemMetrics(SM_CXMENUCHECK) - 2 * edge;
        default:
            return r.right - 2 * (edge + 3);
    }
}
