// Recipient field text into the entries Thunderbird takes: one string per
// person, as an RFC 5322 mailbox, so that Thunderbird's own address parser
// finds exactly that one person in it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// The entries of our own recipient text (ParseRecipientEntries), each through
// FormatMailbox. Thunderbird's own entries never pass through here: they are
// its strings, and read as ours they would not come back the same.
std::vector<std::string> ThunderbirdEntries(std::string_view field);

// The field text of Thunderbird's entries: joined with "; ".
std::string JoinEntries(const std::vector<std::string>& entries);
