// What the host does with the frames it relays, on either system: a frame
// from Thunderbird that is too long or not a JSON object is dropped (the next
// one still arrives), one from quorvantel that Thunderbird would not take is
// answered in the extension's stead. The host's own loop moves the bytes.
#pragma once

#include <cstddef>
#include <functional>
#include <nlohmann/json_fwd.hpp>
#include <string>

#include "mailclient/thunderbird/TbWire.h"

class TTbRelay {
  public:
    struct TSides {
        // Whether a quorvantel is connected now.
        std::function<bool()> connected;
        // Writes a frame to quorvantel; false when that failed, after which
        // the host has let that quorvantel go.
        std::function<bool(const std::string& frame)> toQuorvantel;
        // Writes a payload to Thunderbird; false when Thunderbird stopped reading.
        std::function<bool(const std::string& payload)> toThunderbird;
        std::function<void(const std::string& text)> log;
    };

    explicit TTbRelay(TSides sides) : sides_(std::move(sides)) {}

    // Said to the extension at the start and for every quorvantel connected;
    // with "test" under the test run's environment (QUORVANTEL_TB_TEST=1).
    static std::string Hello();

    // Bytes from Thunderbird.
    void FromThunderbird(const char* data, size_t size);
    bool ThunderbirdMidFrame() const { return fromThunderbird_.MidFrame(); }

    // Bytes from quorvantel; false once Thunderbird stopped reading.
    bool FromQuorvantel(const char* data, size_t size);
    bool QuorvantelMidFrame() const { return fromQuorvantel_.MidFrame(); }
    // Another quorvantel, or none: what the last one left half sent is dropped.
    void ResetQuorvantel() { fromQuorvantel_.Reset(); }

  private:
    // False when quorvantel could not be told.
    bool Refuse(const nlohmann::json& id, const char* code, const std::string& text);

    TSides sides_;
    tbwire::TFrameReader fromThunderbird_{tbwire::kFromExtensionLimit};
    tbwire::TFrameReader fromQuorvantel_{tbwire::kToExtensionLimit};
};
