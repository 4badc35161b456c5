#include "mailclient/thunderbird/TbJson.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>

namespace {

using Json = nlohmann::json;

// The extension parses what nlohmann would have written: the same text.
TEST(TbJson, DumpWritesWhatNlohmannWrites) {
    std::string controls;
    for (int c = 0; c < 0x20; ++c) {
        controls += static_cast<char>(c);
    }
    const std::string strings[] = {
        "",
        "plain@example.jp",
        "\"Doe, John\" <john@example.com>",
        "\"a\\\\b\" <q@example.jp>",
        controls,
        "\x7F del",
        "山田 太郎 <taro@example.jp>",
        "한국어 🍣",
        "\"q\\\"<r\" <qlt@example.jp>",
    };
    Json array = Json::array();
    for (const std::string& s : strings) {
        array.push_back(s);
    }
    const Json values[] = {
        {{"op", "set"}, {"id", 7}, {"tab", 3}, {"field", "to"}, {"to", array}, {"append", true}},
        {{"op", "new"}, {"to", Json::array()}, {"cc", array}, {"bcc", {"x@example.jp"}}},
        {{"id", 1}, {"chunk", true}, {"bcc", array}},
        {{"op", "show"}, {"tab", nullptr}, {"nested", {{"a", {1, "b"}}}}},
        {{"mixed", {"a", 1, nullptr}}},
        Json::array({"not", "an", "object"}),
        Json("a string"),
    };
    for (const Json& value : values) {
        EXPECT_EQ(tbwire::Dump(value), value.dump());
    }
    for (const std::string& s : strings) {
        std::string literal;
        tbwire::AppendJsonString(literal, s);
        EXPECT_EQ(literal, Json(s).dump());
    }
}

}  // namespace
