#include "ui/ErrorReport.h"

#include <cstdio>

#include "core/TextUtf.h"

namespace {

TErrorReporter& Reporter() {
    static TErrorReporter reporter;
    return reporter;
}

char32_t LowerCase(char32_t c) {
    if (c >= U'A' && c <= U'Z') {
        return c + 32;
    }
    if (c >= U'Ａ' && c <= U'Ｚ') {
        return c + 32;
    }
    return c;
}

char32_t UpperCase(char32_t c) {
    if (c >= U'a' && c <= U'z') {
        return c - 32;
    }
    if (c >= U'ａ' && c <= U'ｚ') {
        return c - 32;
    }
    return c;
}

}  // namespace

std::string ApplicationTitle(std::string_view exeFileName) {
    std::string_view name = exeFileName;
    if (name.empty()) {
        name = "quorvantel";
    }
    name = name.substr(0, name.find('.'));
    std::string title;
    size_t pos = 0;
    bool first = true;
    while (pos < name.size()) {
        const char32_t c = NextUtf8CodePoint(name, pos);
        AppendUtf8(title, first ? UpperCase(c) : LowerCase(c));
        first = false;
    }
    return title;
}

std::string ReportText(std::string_view message) {
    std::string text(message);
    if (!text.empty() && static_cast<unsigned char>(text.back()) > '.') {
        text += '.';
    }
    return text;
}

void ReportError(const std::string& message) {
    const std::string text = ReportText(message);
    if (Reporter()) {
        Reporter()(text);
    } else {
        std::fprintf(stderr, "%s\n", text.c_str());
    }
}

void SetErrorReporter(TErrorReporter reporter) {
    Reporter() = std::move(reporter);
}

void ReportCurrentException() noexcept {
    try {
        try {
            throw;
        } catch (const std::exception& e) {
            ReportError(e.what());
        } catch (...) {
            ReportError("予期しないエラーが発生しました");
        }
    } catch (...) {
        // The report itself failed (out of memory); nothing more can be shown.
    }
}
