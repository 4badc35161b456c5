// Thunderbird through our extension. quorvantel listens on a private Unix
// socket (on Windows a named pipe, TbTransport.h); the native-messaging host
// that Thunderbird starts for the extension connects to it. While that
// connection stands, new compose windows and the one open last are reached,
// and their fields are read and written for real.
//
// One quorvantel serves the socket of a display session at a time: the first
// one keeps it (a lock file beside the socket says who), later ones wait and
// take over when it ends. Everything runs on the program's event loop: a
// request waits in it, so the windows go on being served meanwhile.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <nlohmann/json_fwd.hpp>
#include <string>

#include "core/Errors.h"
#include "mailclient/EventLoop.h"
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
        // Added to that for every pill Thunderbird has to make: for each
        // recipient a request carries, and for each one the extension says it
        // is making (the field's own entries too, in append mode). After an
        // answer, Thunderbird may go on laying out that many pills: the next
        // request waits that much longer.
        std::chrono::microseconds perRecipient{10000};
        // How often a quorvantel that does not serve the socket tries again.
        std::chrono::milliseconds takeOverInterval{2000};
        // The socket's directory; empty for the usual one. Not used on Windows.
        std::string directory;
        // The display session; empty for this process's (tbwire::SessionKey).
        std::string session;
    };

    explicit TThunderbirdMailClient(TEventLoop& loop);
    TThunderbirdMailClient(TEventLoop& loop, TOptions options);
    ~TThunderbirdMailClient() override;

    void Connect() override {}
    // A draft held here until Display opens it in Thunderbird with all fields.
    std::unique_ptr<TMailItem> CreateItem() override;
    std::unique_ptr<TMailItem> ActiveItem() override;
    bool CanReachOpenItems() const override;
    void SetReachChangedCallback(std::function<void()> callback) override;
    std::string DisplayName() const override { return "Thunderbird"; }
    void CancelWait() override;
    bool CanCancelWait() const override { return true; }

    // Whether this process serves the socket now.
    bool ServesSocket() const;

    // When each request began, when its last byte was handed to the host,
    // and when Thunderbird's answer came: our share and Thunderbird's.
    struct TRequestTimes {
        std::string op;
        size_t recipients = 0;
        TEventLoop::TClock::time_point started, sent, answered;
    };
    void SetRequestObserver(std::function<void(const TRequestTimes&)> observer);

    // One request to the extension; its answer. Recipient arrays named in
    // the request ("to", "cc", "bcc") may be of any length: they are sent in
    // pieces that each fit Thunderbird's message limit.
    nlohmann::json Request(nlohmann::json request);

    class TImpl;

  private:
    std::unique_ptr<TImpl> impl_;
};
