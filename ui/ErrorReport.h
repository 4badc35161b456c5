// The common error report: every handler runs through Guarded, so no
// exception ever crosses Qt's event loop.
#pragma once

#include <QString>
#include <exception>
#include <functional>
#include <string>
#include <utility>

// "quorvantel" -> "Quorvantel": the file name up to its first ".", the rest lower-cased.
QString ApplicationTitle();

// The message as the report shows it: "." appended when the last byte sorts after ".".
QString ReportText(const std::string& utf8Message);

// Shows the message through the current reporter (a critical message box by default).
void ReportError(const std::string& utf8Message);

// Replaces the reporter; an empty function restores the message box. For tests.
void SetErrorReporter(std::function<void(const QString&)> reporter);

// Reports an exception in flight; called from the catch blocks of Guarded.
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
