// The body of the address-book fuzz target, callable from an ordinary build too
// (the corpus replay test runs every seed through it).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The input is card.dat, the separator kFuzzGroupSeparator, then group.dat;
// without the separator both files get the whole input. Both are written to a
// private temporary folder and loaded, every query runs, and the results are
// checked against a plain re-reading of the same bytes and against the
// invariants of the recipient list and the group tree. Returns an empty
// string when everything holds, else a description of the first fault.
std::string FuzzAddressBook(const uint8_t* data, size_t size);

inline constexpr const char* kFuzzGroupSeparator = "\n%%group.dat%%\n";
