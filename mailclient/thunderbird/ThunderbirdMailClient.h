// Thunderbird through our extension. quorvantel listens on a private Unix
// socket; the native-messaging host that Thunderbird starts for the extension
// connects to it. While that connection stands, new compose windows and the
// one open last are reached, and their fields are read and written for real.
//
// One quorvantel serves the socket at a time: the first one keeps it (a lock
// file beside the socket says who), later ones wait and take over when it
// ends. The connection is watched from the Qt event loop.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "core/Errors.h"
#include "mailclient/MailClient.h"

// Thunderbird did not answer, quit, or lost the compose window mid-action.
class EThunderbirdError : public EAppError {
  public:
    using EAppError::EAppError;
};

class TThunderbirdMailClient : public TMailClient {
  public:
    struct TOptions {
        // The longest wait for one answer of Thunderbird.
        std::chrono::milliseconds replyTimeout{10000};
        // Added to that for every recipient a request carries: Thunderbird
        // makes each one a pill of the compose window, some milliseconds each.
        std::chrono::microseconds perRecipient{10000};
        // How often a quorvantel that does not serve the socket tries again.
        std::chrono::milliseconds takeOverInterval{2000};
        // The socket's directory; empty for the usual one.
        std::string directory;
    };

    TThunderbirdMailClient();
    explicit TThunderbirdMailClient(TOptions options);
    ~TThunderbirdMailClient() override;

    void Connect() override {}
    // A draft held here until Display opens it in Thunderbird with all fields.
    std::unique_ptr<TMailItem> CreateItem() override;
    std::unique_ptr<TMailItem> ActiveItem() override;
    bool CanReachOpenItems() const override;
    void SetReachChangedCallback(std::function<void()> callback) override;

    // Whether this process serves the socket now.
    bool ServesSocket() const;

    // One request to the extension; its answer. Recipient arrays named in
    // the request ("to", "cc", "bcc") may be of any length: they are sent in
    // pieces that each fit Thunderbird's message limit.
    nlohmann::json Request(nlohmann::json request);

    class TImpl;

  private:
    std::unique_ptr<TImpl> impl_;
};
