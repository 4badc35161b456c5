// The JSON text of requests to the extension, written without going through
// nlohmann's serializer for the recipient arrays: with tens of thousands of
// entries, checking and copying them byte by byte is most of our share of a
// hand-off. The text is the same as nlohmann's dump().
#pragma once

#include <nlohmann/json_fwd.hpp>
#include <string>
#include <string_view>

namespace tbwire {

// Appends the JSON string literal of UTF-8 text (quotes and escapes as
// nlohmann writes them; the text must be valid UTF-8).
void AppendJsonString(std::string& out, std::string_view utf8);

// What dump() gives, faster for objects whose arrays hold strings.
std::string Dump(const nlohmann::json& value);

}  // namespace tbwire
