// The "mailto:" URL of a mail draft. Pure C++ on UTF-8 text: everything here
// is input from address books, so nothing may reach the URL unencoded.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// The entries of a recipient field as a mail client reads it: split at ";"
// and "," outside a quoted display name, blanks trimmed, empty entries dropped.
// Control characters (C0, DEL, C1, U+2028, U+2029) count as blanks, so no line
// break survives; malformed UTF-8 becomes U+FFFD.
//
// A quoted display name starts with a double quote at the start of an entry and
// ends at the next double quote that is followed, after blanks, by "<", ";",
// "," or the end of the text; a double quote anywhere else is plain text. So a
// nickname that holds double quotes stays inside its own entry. An opening
// quote that is never closed is plain text as well.
//
// Separators inside a closed pair of angle brackets belong to the address: an
// entry "name"<a;b> (a card with several addresses) gives one entry per
// address, each with the same name: "name"<a> and "name"<b>.
std::vector<std::string> SplitRecipientEntries(std::string_view field);

// Percent-encodes UTF-8 text; only letters, digits, "-", ".", "_", "~" and "@"
// stay as they are.
std::string PercentEncodeMailto(std::string_view text);

// "mailto:" with the To entries in the path and "cc=" and "bcc=" fields for
// non-empty CC and BCC; each entry percent-encoded, entries joined with ",".
std::string BuildMailtoUrl(std::string_view to, std::string_view cc, std::string_view bcc);
