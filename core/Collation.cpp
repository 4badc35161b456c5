#include "core/Collation.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unicode/coll.h>
#include <unicode/locid.h>
#include <unicode/unistr.h>

#include <cstdlib>
#include <memory>
#include <vector>

#include "core/Encoding.h"
#endif

#ifdef _WIN32

int CompareRecipients(std::string_view a, std::string_view b) {
    int r = CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.data(),
                           static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()));
    return r - CSTR_EQUAL;
}

void AppendRecipientSortKey(std::string_view cp932, std::string& out) {
    out += RecipientSortKey(cp932);
}

std::string RecipientSortKey(std::string_view cp932) {
    if (cp932.empty()) {
        return {};
    }
    const DWORD flags = LCMAP_SORTKEY | NORM_IGNORECASE;
    int n = LCMapStringA(LOCALE_USER_DEFAULT, flags, cp932.data(), static_cast<int>(cp932.size()),
                         nullptr, 0);
    std::string key(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0) {
        LCMapStringA(LOCALE_USER_DEFAULT, flags, cp932.data(), static_cast<int>(cp932.size()),
                     key.data(), n);
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
