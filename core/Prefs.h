// The preferences that have no control of their own; the main window holds
// the one instance of the run.
#pragma once

#include <string>

struct TPrefs {
    std::string MailFolder;
    std::string QuoteString;
    std::string List2ndItem;      // held in upper case
    std::string MailAddressOnly;  // held in upper case
    bool UseAppendMode = false;
};
