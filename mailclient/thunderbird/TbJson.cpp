#include "mailclient/thunderbird/TbJson.h"

#include <nlohmann/json.hpp>

namespace tbwire {

void AppendJsonString(std::string& out, std::string_view utf8) {
    static constexpr char kHex[] = "0123456789abcdef";
    out += '"';
    size_t plain = 0;  // start of the run copied as it is
    for (size_t i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        if (c >= 0x20 && c != '"' && c != '\\') {
            continue;
        }
        out.append(utf8.data() + plain, i - plain);
        plain = i + 1;
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\b':
                out += "\\b";
                break;
            case '\f':
                out += "\\f";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                out += "\\u00";
                out += kHex[c >> 4];
                out += kHex[c & 0x0F];
        }
    }
    out.append(utf8.data() + plain, utf8.size() - plain);
    out += '"';
}

namespace {

bool IsStringArray(const nlohmann::json& value) {
    if (!value.is_array()) {
        return false;
    }
    for (const nlohmann::json& e : value) {
        if (!e.is_string()) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::string Dump(const nlohmann::json& value) {
    if (!value.is_object()) {
        return value.dump();
    }
    std::string out = "{";
    bool first = true;
    for (const auto& [key, member] : value.items()) {
        if (!first) {
            out += ',';
        }
        first = false;
        AppendJsonString(out, key);
        out += ':';
        if (!IsStringArray(member)) {
            out += member.dump();
            continue;
        }
        out += '[';
        bool firstEntry = true;
        for (const nlohmann::json& e : member) {
            if (!firstEntry) {
                out += ',';
            }
            firstEntry = false;
            AppendJsonString(out, e.get_ref<const std::string&>());
        }
        out += ']';
    }
    out += '}';
    return out;
}

}  // namespace tbwire
