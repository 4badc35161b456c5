// The body of the mailto-URL fuzz target, callable from an ordinary build too
// (the corpus replay test runs every seed through it).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The first two bytes are the lengths of the To and CC texts, which follow;
// the rest is the BCC text. The URL built from them must have the "mailto:"
// scheme, a path and at most one "cc=" and one "bcc=" field and nothing else;
// every entry must decode to what SplitRecipientEntries gives, whose names and
// addresses are the text as given less blanks, separators and control
// characters; a mail client reading the entries as an address list must find
// each one whole and see its name and address; and no control character may
// be in the URL, raw or percent-decoded. Returns an
// empty string when everything holds, else the first fault.
std::string FuzzMailto(const uint8_t* data, size_t size);
