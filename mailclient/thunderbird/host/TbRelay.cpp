#include "mailclient/thunderbird/host/TbRelay.h"

#include <cstdlib>
#include <nlohmann/json.hpp>

using Json = nlohmann::json;

std::string TTbRelay::Hello() {
    Json hello = {{"hello", true}};
    if (const char* t = std::getenv("QUORVANTEL_TB_TEST"); t != nullptr && t[0] == '1') {
        hello["test"] = true;
    }
    return hello.dump();
}

void TTbRelay::FromThunderbird(const char* data, size_t size) {
    fromThunderbird_.Feed(data, size);
    while (auto e = fromThunderbird_.Next()) {
        if (e->kind == tbwire::TFrameReader::TEvent::Oversized) {
            sides_.log("dropped a message from Thunderbird of " + std::to_string(e->size) +
                       " bytes: more than " + std::to_string(tbwire::kFromExtensionLimit));
            continue;
        }
        const Json message = Json::parse(e->payload, nullptr, false);
        if (message.is_discarded() || !message.is_object()) {
            sides_.log("dropped a message from Thunderbird that is not a JSON object");
            continue;
        }
        if (!sides_.connected()) {
            sides_.log("quorvantel is not running; a reply from Thunderbird is dropped");
            continue;
        }
        sides_.toQuorvantel(tbwire::Frame(e->payload));
    }
}

bool TTbRelay::FromQuorvantel(const char* data, size_t size) {
    fromQuorvantel_.Feed(data, size);
    while (sides_.connected()) {
        auto e = fromQuorvantel_.Next();
        if (!e) {
            break;
        }
        if (e->kind == tbwire::TFrameReader::TEvent::Oversized) {
            Refuse(Json(), "tooLarge",
                   "a message of " + std::to_string(e->size) + " bytes is over 1 MiB");
            continue;
        }
        const Json message = Json::parse(e->payload, nullptr, false);
        if (message.is_discarded() || !message.is_object()) {
            Refuse(Json(), "badJson", "the message is not a JSON object");
            continue;
        }
        const Json id = message.contains("id") ? message["id"] : Json();
        std::string out;
        try {
            out = message.dump();
        } catch (const Json::exception&) {
            Refuse(id, "badJson", "the message is not valid UTF-8");
            continue;
        }
        if (out.size() > tbwire::kToExtensionLimit) {
            Refuse(id, "tooLarge", "the message is over 1 MiB");
            continue;
        }
        if (!sides_.toThunderbird(out)) {
            return false;
        }
    }
    return true;
}

bool TTbRelay::Refuse(const Json& id, const char* code, const std::string& text) {
    sides_.log(text);
    const Json reply = {{"id", id}, {"ok", false}, {"error", code}, {"message", text}};
    return sides_.toQuorvantel(tbwire::Frame(reply.dump()));
}
