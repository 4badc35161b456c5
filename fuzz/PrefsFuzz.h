// The body of the preferences fuzz target, callable from an ordinary build too
// (the corpus replay test runs every seed through it).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The whole input goes through StrToInt and UpperCaseAscii, each checked
// against a plain reading of its rule, and is written as a preferences file
// and read: the settings, the window values handed on and the bad lines
// reported must match a plain reading of the file, and saving what was read
// with BuildPrefsText and reading that again must give the same settings.
// Returns an empty string when everything holds, else the first fault.
std::string FuzzPrefs(const uint8_t* data, size_t size);
