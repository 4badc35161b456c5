// Recipient field text into the entries Thunderbird takes: one string per
// person, as an RFC 5322 mailbox, so that Thunderbird's own address parser
// finds exactly that one person in it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// The field's entries (ParseRecipientEntries), each through FormatMailbox. The
// field may hold Thunderbird's own entries, whose names are quoted strings,
// beside the address book's raw ones: append mode joins the two.
std::vector<std::string> ThunderbirdEntries(std::string_view field);

// The field text of Thunderbird's entries: joined with "; ".
std::string JoinEntries(const std::vector<std::string>& entries);
