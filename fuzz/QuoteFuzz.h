// The body of the quote-transform fuzz target, callable from an ordinary build
// too (the corpus replay test runs every seed through it).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The first byte, modulo 8, is the quote mark's length; the mark follows and
// the rest is the text. QuoteLines, LfToCrLf and CrLfToLf are checked against
// plain readings of their rules and against the round-trip properties of the
// line-break mapping. Returns an empty string when everything holds, else the
// first fault.
std::string FuzzQuote(const uint8_t* data, size_t size);
