#include "core/Encoding.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "core/TextUtf.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>

#include <cerrno>
#endif

namespace {

bool IsAscii(std::string_view s) {
    for (unsigned char c : s) {
        if (c >= 0x80) {
            return false;
        }
    }
    return true;
}

#ifndef _WIN32

// One conversion descriptor per direction and thread; iconv_open is costly.
class Converter {
  public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Converter() {
        if (cd_ != reinterpret_cast<iconv_t>(-1)) {
            iconv_close(cd_);
        }
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Converts in; on a sequence that cannot be converted, appends `bad`
    // and skips `skip(rest)` input bytes.
    template <class Skip>
    std::string Run(std::string_view in, std::string_view bad, Skip skip) {
        std::string out;
        if (cd_ == reinterpret_cast<iconv_t>(-1)) {
            return out;
        }
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        out.reserve(in.size() * 2 + 8);
        char* src = const_cast<char*>(in.data());
        size_t srcLeft = in.size();
        char buf[4096];
        while (srcLeft > 0) {
            char* dst = buf;
            size_t dstLeft = sizeof buf;
            size_t r = iconv(cd_, &src, &srcLeft, &dst, &dstLeft);
            out.append(buf, static_cast<size_t>(dst - buf));
            if (r == static_cast<size_t>(-1)) {
                if (errno == E2BIG) {
                    continue;
                }
                // EILSEQ or EINVAL (a sequence cut off at the end).
                out.append(bad);
                size_t n = std::min(srcLeft, skip(std::string_view(src, srcLeft)));
                src += n;
                srcLeft -= n;
                iconv(cd_, nullptr, nullptr, nullptr, nullptr);
            }
        }
        char* dst = buf;
        size_t dstLeft = sizeof buf;
        iconv(cd_, nullptr, nullptr, &dst, &dstLeft);
        out.append(buf, static_cast<size_t>(dst - buf));
        return out;
    }

  private:
    iconv_t cd_;
};

size_t SkipOneByte(std::string_view) {
    return 1;
}

// Skips one UTF-8 character (or one stray byte).
size_t SkipUtf8Char(std::string_view s) {
    unsigned char c = static_cast<unsigned char>(s[0]);
    size_t len = c < 0xC0 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    size_t i = 1;
    while (i < len && i < s.size() && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80) {
        ++i;
    }
    return i;
}

Converter& ToUtf8() {
    thread_local Converter c("UTF-8", "CP932");
    return c;
}

Converter& FromUtf8() {
    thread_local Converter c("CP932", "UTF-8");
    return c;
}

Converter& ToUtf16() {
    thread_local Converter c(std::endian::native == std::endian::little ? "UTF-16LE" : "UTF-16BE",
                             "CP932");
    return c;
}

// Decoding cp932 one iconv call at a time is slow for long recipient lists
// (every sort key decodes a name), so the decoder reads a table that iconv
// itself fills once: what it makes of each byte and of each pair after a lead
// byte. Every sequence decodes exactly as iconv decodes it, replacements and
// all; a table iconv cannot fill leaves the decoding to iconv.
class TCp932Table {
  public:
    static constexpr int32_t kBad = -1;   // no character: U+FFFD, one byte skipped
    static constexpr int32_t kLead = -2;  // needs the next byte

    static const TCp932Table* Get() {
        static const TCp932Table table;
        return table.ok_ ? &table : nullptr;
    }

    // Appends the UTF-16 of cp932 to out via emit(char16_t).
    template <class Emit>
    void Decode(std::string_view cp932, Emit emit) const {
        const size_t n = cp932.size();
        for (size_t i = 0; i < n;) {
            const auto b = static_cast<unsigned char>(cp932[i]);
            const int32_t single = single_[b];
            if (single >= 0) {
                emit(static_cast<char16_t>(single));
                ++i;
                continue;
            }
            if (single == kLead && i + 1 < n) {
                const int32_t pair = pair_[leadIndex_[b]][static_cast<unsigned char>(cp932[i + 1])];
                if (pair >= 0) {
                    emit(static_cast<char16_t>(pair));
                    i += 2;
                    continue;
                }
            }
            emit(u'\uFFFD');
            ++i;
        }
    }

  private:
    TCp932Table()
        : cd_(iconv_open(std::endian::native == std::endian::little ? "UTF-16LE" : "UTF-16BE",
                         "CP932")) {
        ok_ = cd_ != reinterpret_cast<iconv_t>(-1);
        int leads = 0;
        for (int b = 0; b < 256 && ok_; ++b) {
            const char byte = static_cast<char>(b);
            single_[b] = One(std::string_view(&byte, 1));
            if (single_[b] != kLead) {
                continue;
            }
            if (leads == kMaxLeads) {
                ok_ = false;
                break;
            }
            leadIndex_[b] = static_cast<uint8_t>(leads);
            for (int t = 0; t < 256; ++t) {
                const char two[2] = {byte, static_cast<char>(t)};
                pair_[leads][t] = One(std::string_view(two, 2));
            }
            ++leads;
        }
    }
    ~TCp932Table() {
        if (cd_ != reinterpret_cast<iconv_t>(-1)) {
            iconv_close(cd_);
        }
    }

    // What iconv makes of the whole sequence: one UTF-16 unit, kBad (nothing
    // taken) or, for a lone byte, kLead. Anything else: the table can't stand in.
    int32_t One(std::string_view bytes) {
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        char* src = const_cast<char*>(bytes.data());
        size_t srcLeft = bytes.size();
        char16_t out[4];
        char* dst = reinterpret_cast<char*>(out);
        size_t dstLeft = sizeof out;
        const size_t r = iconv(cd_, &src, &srcLeft, &dst, &dstLeft);
        const size_t units = (sizeof out - dstLeft) / sizeof(char16_t);
        if (r == static_cast<size_t>(-1) && units == 0) {
            if (errno == EILSEQ) {
                return kBad;
            }
            if (errno == EINVAL && bytes.size() == 1) {
                return kLead;
            }
        } else if (r != static_cast<size_t>(-1) && units == 1 && srcLeft == 0) {
            return static_cast<int32_t>(out[0]);
        }
        ok_ = false;
        return kBad;
    }

    static constexpr int kMaxLeads = 128;
    iconv_t cd_;
    bool ok_ = false;
    int32_t single_[256] = {};
    uint8_t leadIndex_[256] = {};
    int32_t pair_[kMaxLeads][256] = {};
};

#else

std::wstring Widen(UINT codePage, std::string_view s) {
    if (s.empty()) {
        return {};
    }
    int n = MultiByteToWideChar(codePage, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring w(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(codePage, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
    return w;
}

std::string Narrow(UINT codePage, std::wstring_view w, BOOL* usedDefault = nullptr,
                   DWORD flags = 0) {
    if (w.empty()) {
        return {};
    }
    const char* defaultChar = codePage == CP_UTF8 ? nullptr : "?";
    BOOL* used = codePage == CP_UTF8 ? nullptr : usedDefault;
    int n = WideCharToMultiByte(codePage, flags, w.data(), static_cast<int>(w.size()), nullptr, 0,
                                defaultChar, used);
    std::string s(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(codePage, flags, w.data(), static_cast<int>(w.size()), s.data(), n,
                        defaultChar, used);
    return s;
}

#endif

}  // namespace

std::string Cp932ToUtf8(std::string_view cp932) {
    if (IsAscii(cp932)) {
        return std::string(cp932);
    }
#ifdef _WIN32
    return Narrow(CP_UTF8, Widen(932, cp932));
#else
    if (const TCp932Table* table = TCp932Table::Get()) {
        std::string out;
        out.reserve(cp932.size() * 3 / 2 + 8);
        table->Decode(cp932, [&out](char16_t c) { AppendUtf8(out, c); });
        return out;
    }
    return ToUtf8().Run(cp932, "\xEF\xBF\xBD", SkipOneByte);
#endif
}

std::u16string Cp932ToUtf16(std::string_view cp932) {
    std::u16string out;
    if (IsAscii(cp932)) {
        out.assign(cp932.begin(), cp932.end());
        return out;
    }
#ifdef _WIN32
    std::wstring w = Widen(932, cp932);
    out.assign(w.begin(), w.end());
#else
    if (const TCp932Table* table = TCp932Table::Get()) {
        out.reserve(cp932.size());
        table->Decode(cp932, [&out](char16_t c) { out.push_back(c); });
        return out;
    }
    const char16_t replacement = u'\uFFFD';
    const std::string bytes = ToUtf16().Run(
        cp932, std::string_view(reinterpret_cast<const char*>(&replacement), sizeof replacement),
        SkipOneByte);
    out.resize(bytes.size() / sizeof(char16_t));
    std::memcpy(out.data(), bytes.data(), out.size() * sizeof(char16_t));
#endif
    return out;
}

std::string Utf8ToCp932(std::string_view utf8) {
    if (IsAscii(utf8)) {
        return std::string(utf8);
    }
#ifdef _WIN32
    return Narrow(932, Widen(CP_UTF8, utf8));
#else
    return FromUtf8().Run(utf8, "?", SkipUtf8Char);
#endif
}

std::string Utf16ToCp932(std::u16string_view utf16) {
#ifdef _WIN32
    return Narrow(932,
                  std::wstring_view(reinterpret_cast<const wchar_t*>(utf16.data()), utf16.size()));
#else
    return Utf8ToCp932(Utf16ToUtf8(utf16));
#endif
}

bool IsCp932Representable(std::string_view utf8) {
    if (IsAscii(utf8)) {
        return true;
    }
#ifdef _WIN32
    BOOL usedDefault = FALSE;
    std::wstring w = Widen(CP_UTF8, utf8);
    // Best fit would count "é" as the "e" it becomes.
    Narrow(932, w, &usedDefault, WC_NO_BEST_FIT_CHARS);
    return !usedDefault && w.find(L'\xFFFD') == std::wstring::npos;
#else
    // Round trip: anything lost or replaced shows as a difference.
    return Cp932ToUtf8(Utf8ToCp932(utf8)) == utf8;
#endif
}

bool EndsWithPathDelim(std::string_view cp932) {
    size_t i = 0;
    size_t last = cp932.size();
    while (i < cp932.size()) {
        last = i;
        const auto c = static_cast<unsigned char>(cp932[i]);
        i += IsCp932LeadByte(c) && i + 1 < cp932.size() ? 2 : 1;
    }
    return last + 1 == cp932.size() && cp932[last] == kPathDelim;
}

std::filesystem::path Cp932ToPath(std::string_view cp932) {
#ifdef _WIN32
    return std::filesystem::path(Widen(932, cp932));
#else
    return std::filesystem::path(Cp932ToUtf8(cp932));
#endif
}

std::string PathToCp932(const std::filesystem::path& path) {
#ifdef _WIN32
    return Narrow(932, path.native());
#else
    return Utf8ToCp932(path.native());
#endif
}

std::string NativeToCp932(std::string_view native) {
#ifdef _WIN32
    return std::string(native);
#else
    return Utf8ToCp932(native);
#endif
}
