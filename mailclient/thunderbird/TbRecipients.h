// Recipient field text into the entries Thunderbird takes: one string per
// person, in RFC 5322 form, so that Thunderbird's own address parser finds
// exactly that one person in it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

struct TMailbox {
    std::string name;     // display name, unquoted; empty when there is none
    std::string address;  // the text between the angle brackets, or the whole entry
};

// The entries of a field, split at ";" and "," the way SplitRecipientEntries
// (MailtoUrl.h) splits them: not inside a quoted display name, not inside
// angle brackets, blanks trimmed, control characters turned into blanks,
// empty entries dropped, "name"<a;b> giving one entry per address.
//
// A quoted display name may also be an RFC 5322 quoted string: a backslash
// before a double quote or a backslash quotes it, so "a\"; b" <p@x> is one
// entry; any other backslash is plain text. When
// the quoted string read that way is not followed by "<", ";", "," or the end,
// the address book's plain rule applies (the name ends at the next double
// quote that is), so a nickname ending in a backslash still reads as written.
std::vector<TMailbox> SplitMailboxes(std::string_view field);

// One entry as Thunderbird should read it: "addr", "name <addr>", or the name
// quoted ("a \"b\" \\ c" <addr>) whenever it holds a character that is special
// in an address header.
std::string FormatMailbox(const TMailbox& mailbox);

// SplitMailboxes, each entry through FormatMailbox.
std::vector<std::string> ThunderbirdEntries(std::string_view field);

// The field text of Thunderbird's entries: joined with "; ".
std::string JoinEntries(const std::vector<std::string>& entries);
