// The entries of a recipient field and their form as RFC 5322 mailboxes.
// Plain C++ on UTF-8 text, shared by every backend that hands recipients to a
// mail client as text.
//
// A field holds items "Nickname"<Address> or bare addresses, each followed by
// "; ". The nickname is raw: it may hold double quotes, backslashes, ",", ";",
// "<", ">" and "@", and nothing in it is escaped. So the splitter finds the end
// of a quoted name from the address that follows it, and the formatter quotes
// the name again so that a mail client reads back exactly the nickname.
#pragma once

#include <string>
#include <string_view>
#include <vector>

struct TRecipientEntry {
    // The display name as the user should see it; empty when there is none.
    std::string Name;
    // The address between the angle brackets; for an entry that is no
    // name-address pair, the entry's whole text. Passed on as it stands.
    std::string Address;

    bool operator==(const TRecipientEntry&) const = default;
};

// Splits a field into its entries; blanks around entries are trimmed and
// entries with neither name nor address dropped. Control characters (C0, DEL,
// C1, U+2028, U+2029) count as blanks, so no line break survives; malformed
// UTF-8 becomes U+FFFD.
//
// An entry that starts with a double quote has a quoted name. The name ends at
// a double quote followed, after blanks, by "<": the last one before the
// address's end, a ">" followed, after blanks, by ";", "," or the end of the
// text. So a nickname holding quotes, separators or angle brackets stays whole;
// only one holding '"<' and later '>' and a separator reads as two entries,
// exactly as two cards would be written. Without such an address, the name
// ends at the first double quote followed, after blanks, by ";", "," or the
// end (a name without address); with none of those, the opening quote is
// plain text.
//
// An entry without a leading quote is a bare address, or text before a closed
// "<...>" that ends the entry: an unquoted name and its address. Separators
// inside a closed pair of angle brackets belong to the address.
//
// A card with several addresses, "name"<a;b>, gives one entry per address,
// each with the card's name.
//
// A backslash is plain text: the address book escapes nothing.
std::vector<TRecipientEntry> ParseRecipientEntries(std::string_view field);

// Well-formed UTF-8 with every control character (C0, DEL, C1, U+2028,
// U+2029) turned into a blank: what the splitters work on.
std::string CleanRecipientText(std::string_view text);

// The entry as an RFC 5322 mailbox: the name as a quoted string with '"' and
// '\' escaped, then the address in angle brackets ("name"<address>); the name
// alone when the address is empty; the address alone when there is no name.
// Where a mail client could not read the address as one (an unclosed quote,
// comment or bracket, a stray "<" or ">", a separator), the entry goes as one
// quoted text instead, "name <address>" or the address, so that it shows as it
// stands and never runs into the next entry.
std::string FormatMailbox(const TRecipientEntry& entry);
