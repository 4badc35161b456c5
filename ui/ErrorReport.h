// The common error report: every handler runs through Guarded, so no
// exception ever crosses a toolkit's event loop. Messages are UTF-8.
#pragma once

#include <exception>
#include <functional>
#include <string>
#include <string_view>
#include <utility>

// The executable's file name up to its first ".", every character after the
// first in lower case: "quorvantel.exe" -> "Quorvantel".
std::string ApplicationTitle(std::string_view exeFileName);

// The message as the report shows it: "." appended when the last byte sorts after ".".
std::string ReportText(std::string_view message);

// Shows the message through the current reporter (the face's message box;
// standard error while there is none).
void ReportError(const std::string& message);

// The face's message box; tests put a recorder here. Gets ReportText's text.
using TErrorReporter = std::function<void(const std::string& text)>;
void SetErrorReporter(TErrorReporter reporter);

// Reports an exception in flight; called from the catch block of Guarded.
void ReportCurrentException() noexcept;

// Runs f; whatever it throws is reported and goes no further.
template <class F>
void Guarded(F&& f) noexcept {
    try {
        std::forward<F>(f)();
    } catch (...) {
        ReportCurrentException();
    }
}
