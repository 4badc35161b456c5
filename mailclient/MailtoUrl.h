// The "mailto:" URL of a mail draft. Pure C++ on UTF-8 text: everything here
// is input from address books, so nothing may reach the URL unencoded.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// The entries of a recipient field as the URL carries them: each entry of
// ParseRecipientEntries (RecipientEntries.h) as an RFC 5322 mailbox, so that a
// nickname holding quotes, backslashes or separators reaches the mail client
// as one entry that shows exactly the nickname.
std::vector<std::string> SplitRecipientEntries(std::string_view field);

// Percent-encodes UTF-8 text; only letters, digits, "-", ".", "_", "~" and "@"
// stay as they are.
std::string PercentEncodeMailto(std::string_view text);

// "mailto:" with the To entries in the path and "cc=" and "bcc=" fields for
// non-empty CC and BCC; each entry percent-encoded, entries joined with ",".
std::string BuildMailtoUrl(std::string_view to, std::string_view cc, std::string_view bcc);
