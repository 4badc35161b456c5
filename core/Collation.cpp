#include "core/Collation.h"

#include "core/Encoding.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unicode/coll.h>
#include <unicode/locid.h>
#include <unicode/unistr.h>

#include <cstdlib>
#include <memory>
#include <vector>
#endif

#ifdef _WIN32

namespace {

// The wide calls on the text decoded from cp932: the ANSI ones would read
// the bytes in the system code page, which need not be 932.
std::wstring Wide(std::string_view cp932) {
    const std::u16string u = Cp932ToUtf16(cp932);
    return std::wstring(u.begin(), u.end());
}

}  // namespace

int CompareRecipients(std::string_view a, std::string_view b) {
    const std::wstring wa = Wide(a), wb = Wide(b);
    int r = CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, wa.data(),
                           static_cast<int>(wa.size()), wb.data(), static_cast<int>(wb.size()));
    return r - CSTR_EQUAL;
}

void AppendRecipientSortKey(std::string_view cp932, std::string& out) {
    out += RecipientSortKey(cp932);
}

std::string RecipientSortKey(std::string_view cp932) {
    if (cp932.empty()) {
        return {};
    }
    const std::wstring w = Wide(cp932);
    const DWORD flags = LCMAP_SORTKEY | NORM_IGNORECASE;
    // With LCMAP_SORTKEY the destination is a byte buffer and its size counts bytes.
    int n =
        LCMapStringW(LOCALE_USER_DEFAULT, flags, w.data(), static_cast<int>(w.size()), nullptr, 0);
    std::string key(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0) {
        LCMapStringW(LOCALE_USER_DEFAULT, flags, w.data(), static_cast<int>(w.size()),
                     reinterpret_cast<LPWSTR>(key.data()), n);
        // The key ends with a NUL that is not part of the ordering.
        while (!key.empty() && key.back() == '\0') {
            key.pop_back();
        }
    }
    return key;
}

#else

namespace {

// The user's collation locale; "ja" where none is set or it is the plain C locale.
std::string CollationLocale() {
    for (const char* var : {"LC_ALL", "LC_COLLATE", "LANG"}) {
        const char* v = std::getenv(var);
        if (v && *v) {
            std::string name(v);
            name = name.substr(0, name.find_first_of(".@"));
            if (name.empty() || name == "C" || name == "POSIX") {
                return "ja";
            }
            return name;
        }
    }
    return "ja";
}

// Letter case goes by case folding; the rest (width, kana type, punctuation)
// by the locale's rules down to the quaternary level.
icu::Collator& RecipientCollator() {
    thread_local std::unique_ptr<icu::Collator> collator = [] {
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<icu::Collator> c(
            icu::Collator::createInstance(icu::Locale(CollationLocale().c_str()), status));
        if (U_FAILURE(status) || !c) {
            status = U_ZERO_ERROR;
            c.reset(icu::Collator::createInstance(icu::Locale("ja"), status));
        }
        c->setStrength(icu::Collator::QUATERNARY);
        return c;
    }();
    return *collator;
}

icu::UnicodeString Folded(std::string_view cp932) {
    std::u16string u = Cp932ToUtf16(cp932);
    icu::UnicodeString s(u.data(), static_cast<int32_t>(u.size()));
    s.foldCase();
    return s;
}

}  // namespace

int CompareRecipients(std::string_view a, std::string_view b) {
    UErrorCode status = U_ZERO_ERROR;
    return RecipientCollator().compare(Folded(a), Folded(b), status);
}

void AppendRecipientSortKey(std::string_view cp932, std::string& out) {
    icu::UnicodeString s = Folded(cp932);
    icu::Collator& c = RecipientCollator();
    thread_local std::vector<uint8_t> buf(1024);
    int32_t n = c.getSortKey(s, buf.data(), static_cast<int32_t>(buf.size()));
    if (n > static_cast<int32_t>(buf.size())) {
        buf.resize(static_cast<size_t>(n));
        n = c.getSortKey(s, buf.data(), n);
    }
    // Without the terminating NUL, so plain byte order matches the collation.
    out.append(reinterpret_cast<const char*>(buf.data()), n > 0 ? static_cast<size_t>(n - 1) : 0);
}

std::string RecipientSortKey(std::string_view cp932) {
    std::string key;
    AppendRecipientSortKey(cp932, key);
    return key;
}

#endif
