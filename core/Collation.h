// The recipient comparison: the user's locale collation with letter case ignored.
#pragma once

#include <string>
#include <string_view>

// <0, 0 or >0 as a sorts before, equal to or after b. Both are cp932 bytes.
int CompareRecipients(std::string_view a, std::string_view b);

// A byte string whose plain byte order (and equality) agrees with CompareRecipients.
std::string RecipientSortKey(std::string_view cp932);

// RecipientSortKey(cp932) appended to out.
void AppendRecipientSortKey(std::string_view cp932, std::string& out);
