#include "mailclient/thunderbird/ThunderbirdMailClient.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <nlohmann/json.hpp>
#include <optional>
#include <utility>

#include "core/TextUtf.h"
#include "mailclient/thunderbird/TbJson.h"
#include "mailclient/thunderbird/TbRecipients.h"
#include "mailclient/thunderbird/TbTransport.h"
#include "mailclient/thunderbird/TbWire.h"

using Json = nlohmann::json;
using namespace std::chrono_literals;

namespace {

const char* const kFieldNames[] = {"to", "cc", "bcc"};

const char* FieldName(TMailField field) {
    return kFieldNames[static_cast<int>(field)];
}

[[noreturn]] void ThrowGone() {
    throw EThunderbirdError(
        "Thunderbird との接続が切れました。Thunderbird が終了した可能性があります");
}

// What fits in one message besides the recipients.
constexpr size_t kEnvelope = 4096;

using TClock = TEventLoop::TClock;
using TSubscription = std::unique_ptr<TEventLoop::TSubscription>;

}  // namespace

class TThunderbirdMailClient::TImpl {
  public:
    TImpl(TEventLoop& loop, TOptions options)
        : loop_(loop),
          options_(std::move(options)),
          server_(MakeTbServer(loop, options_.directory, options_.session)) {
        TakeOver();
    }

    ~TImpl() {
        // The server first: a host that loses its connection must not find
        // this quorvantel again while it ends.
        retry_.reset();
        server_.reset();
        DropConnection(false);
    }

    bool Connected() const { return conn_ != nullptr; }
    bool Serving() const { return server_->Listening(); }
    void SetCallback(std::function<void()> cb) { reachChanged_ = std::move(cb); }
    void SetObserver(std::function<void(const TRequestTimes&)> o) { observer_ = std::move(o); }

    void Cancel() {
        if (waiting_ != nullptr) {
            waiting_->cancelled = true;
        }
    }

    Json Request(Json request) {
        if (!conn_) {
            ThrowGone();
        }
        if (waiting_ != nullptr) {
            // Never reached from the window, whose buttons wait for the hand-off.
            throw EThunderbirdError("Thunderbird への要求がまだ終わっていません");
        }
        const int64_t id = ++lastId_;
        request["id"] = id;
        size_t recipients = 0;
        for (const char* field : kFieldNames) {
            if (request.contains(field) && request[field].is_array()) {
                recipients += request[field].size();
            }
        }
        TWait wait;
        wait.id = id;
        wait.times.op = request.value("op", std::string());
        wait.times.recipients = recipients;
        wait.times.started = loop_.Now();
        // Checked before anything is sent, so no half request is carried out.
        std::vector<std::string> frames = Pieces(std::move(request), id);

        // Thunderbird may still be laying out the pills of the last request.
        const TClock::time_point now = loop_.Now();
        wait.deadline = std::max(now, settleUntil_) + options_.replyTimeout + Pills(recipients);
        waiting_ = &wait;
        struct TDone {
            TImpl& impl;
            TWait& wait;
            ~TDone() {
                impl.waiting_ = nullptr;
                wait.timer.reset();
            }
        } done{*this, wait};
        ArmDeadline(wait);
        const size_t frameCount = frames.size();
        for (std::string& frame : frames) {
            output_.push_back(std::move(frame));
        }
        Flush();
        loop_.RunUntil([&wait] { return wait.Ended(); });
        if (wait.cancelled && !wait.reply) {
            DropUnsent(frameCount);
            settleUntil_ =
                std::max(settleUntil_, loop_.Now() + Pills(std::max(recipients, wait.pills)));
            throw EHandOffCancelled("Thunderbird");
        }
        if (wait.gone) {
            ThrowGone();
        }
        if (wait.rejected) {
            throw EThunderbirdError("Thunderbird への要求が受け付けられませんでした: " +
                                    *wait.rejected);
        }
        if (!wait.reply) {
            ThrowTimeout(
                std::chrono::duration_cast<std::chrono::milliseconds>(wait.deadline - now));
        }
        settleUntil_ = loop_.Now() + Pills(wait.pills);
        if (observer_) {
            wait.times.answered = loop_.Now();
            observer_(wait.times);
        }
        const Json& reply = *wait.reply;
        if (!reply.value("ok", false)) {
            if (reply.value("error", std::string()) == "noTab") {
                throw EThunderbirdError("メールの作成ウインドウが閉じられました");
            }
            throw EThunderbirdError("Thunderbird が要求を処理できませんでした: " +
                                    reply.value("message", std::string()));
        }
        return reply;
    }

  private:
    struct TWait {
        int64_t id = 0;
        TClock::time_point deadline;
        TSubscription timer;
        size_t pills = 0;  // what the extension said it is making
        TRequestTimes times;
        std::optional<Json> reply;
        std::optional<std::string> rejected;
        bool timedOut = false;
        bool gone = false;
        bool cancelled = false;
        bool Ended() const { return reply || rejected || timedOut || gone || cancelled; }
    };

    std::chrono::milliseconds Pills(size_t count) const {
        return std::chrono::duration_cast<std::chrono::milliseconds>(options_.perRecipient *
                                                                     static_cast<int64_t>(count));
    }

    void ArmDeadline(TWait& wait) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(wait.deadline - loop_.Now());
        wait.timer = loop_.CallAfter(std::max(left, 0ms) + 1ms, [this, &wait] {
            if (loop_.Now() >= wait.deadline) {
                wait.timedOut = true;
            } else {
                ArmDeadline(wait);
            }
        });
    }

    [[noreturn]] static void ThrowTimeout(std::chrono::milliseconds limit) {
        throw EThunderbirdError("Thunderbird が " + std::to_string((limit.count() + 999) / 1000) +
                                " 秒以内に応答しませんでした");
    }

    // The request as frames of at most 1 MiB: the recipients that do not fit go
    // ahead in "chunk" messages, which the extension puts in front of the ones
    // in the request itself.
    std::vector<std::string> Pieces(Json request, int64_t id) {
        std::vector<std::string> frames;
        std::string whole = tbwire::Dump(request);
        if (whole.size() <= tbwire::kToExtensionLimit) {
            frames.push_back(tbwire::Frame(whole));
            return frames;
        }
        for (const char* field : kFieldNames) {
            if (!request.contains(field) || !request[field].is_array()) {
                continue;
            }
            Json& list = request[field];
            Json piece = Json::array();
            size_t size = 0;
            const auto flush = [&] {
                const Json chunk = {{"id", id}, {"chunk", true}, {field, std::move(piece)}};
                frames.push_back(tbwire::Frame(tbwire::Dump(chunk)));
                piece = Json::array();
                size = 0;
            };
            for (Json& entry : list) {
                std::string literal;
                if (entry.is_string()) {
                    tbwire::AppendJsonString(literal, entry.get_ref<const std::string&>());
                } else {
                    literal = entry.dump();
                }
                const size_t entrySize = literal.size() + 1;
                if (entrySize > tbwire::kToExtensionLimit - kEnvelope) {
                    throw EThunderbirdError("Thunderbird に渡すには長すぎる宛先があります");
                }
                if (size + entrySize > tbwire::kToExtensionLimit - kEnvelope && !piece.empty()) {
                    flush();
                }
                size += entrySize;
                piece.push_back(std::move(entry));
            }
            if (!piece.empty()) {
                flush();
            }
            list = Json::array();
        }
        whole = tbwire::Dump(request);
        frames.push_back(tbwire::Frame(whole));
        return frames;
    }

    // Writes what the connection takes now; the rest when it takes more.
    void Flush() {
        while (conn_ && !output_.empty()) {
            const std::string& frame = output_.front();
            const long n = conn_->TrySend(frame.data() + written_, frame.size() - written_);
            if (n == 0) {
                return;  // writable() calls again
            }
            if (n < 0) {
                DropConnection(true);
                return;
            }
            written_ += static_cast<size_t>(n);
            if (written_ == frame.size()) {
                output_.pop_front();
                written_ = 0;
            }
        }
        if (waiting_ != nullptr && output_.empty()) {
            waiting_->times.sent = loop_.Now();
        }
    }

    // Forgets the last frames of a request that were not begun; the one
    // being written is finished, so that the stream stays whole.
    void DropUnsent(size_t count) {
        size_t ours = std::min(count, output_.size());
        while (ours > 0 && !(output_.size() == 1 && written_ > 0)) {
            output_.pop_back();
            --ours;
        }
    }

    void TakeOver() {
        if (server_->TryListen(
                [this](std::unique_ptr<TTbConnection> c) { Accept(std::move(c)); })) {
            retry_.reset();
            return;
        }
        retry_ = loop_.CallAfter(options_.takeOverInterval, [this] { TakeOver(); });
    }

    void Accept(std::unique_ptr<TTbConnection> connection) {
        // The newest host wins: an older one belongs to a Thunderbird that
        // has gone or is going.
        const bool was = Connected();
        DropConnection(false);
        conn_ = std::move(connection);
        conn_->Start({[this](const char* data, size_t size) { Readable(data, size); },
                      [this] { DropConnection(true); }, [this] { Flush(); }});
        if (!was && reachChanged_) {
            reachChanged_();
        }
    }

    // Answers, the extension's word that it is at work, late answers to
    // requests given up, or the end of the connection.
    void Readable(const char* data, size_t size) {
        reader_.Feed(data, size);
        while (auto e = reader_.Next()) {
            if (e->kind == tbwire::TFrameReader::TEvent::Payload && waiting_ != nullptr) {
                Answer(Json::parse(e->payload, nullptr, false), *waiting_);
            }
        }
    }

    void Answer(Json reply, TWait& wait) {
        if (!reply.is_object() || wait.Ended()) {
            return;
        }
        const Json rid = reply.contains("id") ? reply["id"] : Json();
        if (rid.is_null() && reply.value("ok", true) == false) {
            wait.rejected = reply.value("message", std::string());
            return;
        }
        if (rid != Json(wait.id)) {
            return;  // the late answer to an earlier request
        }
        if (reply.contains("working") && reply["working"].is_number_unsigned()) {
            // The pills Thunderbird is about to make decide how long to wait.
            wait.pills = reply["working"].get<size_t>();
            wait.deadline =
                std::max(wait.deadline, loop_.Now() + options_.replyTimeout + Pills(wait.pills));
            return;
        }
        wait.reply = std::move(reply);
    }

    void DropConnection(bool tell) {
        if (!conn_) {
            return;
        }
        conn_.reset();
        reader_.Reset();
        output_.clear();
        written_ = 0;
        if (waiting_ != nullptr) {
            waiting_->gone = true;
        }
        if (tell && reachChanged_) {
            reachChanged_();
        }
    }

    TEventLoop& loop_;
    TOptions options_;
    std::unique_ptr<TTbServer> server_;
    std::unique_ptr<TTbConnection> conn_;
    int64_t lastId_ = 0;
    tbwire::TFrameReader reader_{tbwire::kFromExtensionLimit};
    std::deque<std::string> output_;
    size_t written_ = 0;  // of output_.front()
    TWait* waiting_ = nullptr;
    TClock::time_point settleUntil_{};
    TSubscription retry_;
    std::function<void()> reachChanged_;
    std::function<void(const TRequestTimes&)> observer_;
};

namespace {

class TThunderbirdItem : public TMailItem {
  public:
    TThunderbirdItem(TThunderbirdMailClient& client, std::optional<int64_t> tab)
        : client_(client), tab_(tab) {}

    std::u16string GetField(TMailField field) override {
        if (!tab_) {
            return draft_[static_cast<int>(field)];
        }
        const Json reply =
            client_.Request({{"op", "get"}, {"tab", *tab_}, {"field", FieldName(field)}});
        std::vector<std::string> entries;
        for (const Json& e : reply.value("entries", Json::array())) {
            if (e.is_string()) {
                entries.push_back(e.get<std::string>());
            }
        }
        return Utf8ToUtf16(JoinEntries(entries));
    }

    void SetField(TMailField field, const std::u16string& text) override {
        if (!tab_) {
            draft_[static_cast<int>(field)] = text;
            return;
        }
        client_.Request({{"op", "set"},
                         {"tab", *tab_},
                         {"field", FieldName(field)},
                         {FieldName(field), ThunderbirdEntries(Utf16ToUtf8(text))}});
    }

    void AppendToField(TMailField field, const std::u16string& text) override {
        if (!tab_) {
            TMailItem::AppendToField(field, text);
            return;
        }
        // Thunderbird adds ours after the entries it holds, which it keeps untouched.
        client_.Request({{"op", "set"},
                         {"tab", *tab_},
                         {"field", FieldName(field)},
                         {"append", true},
                         {FieldName(field), ThunderbirdEntries(Utf16ToUtf8(text))}});
    }

    void Display() override {
        if (tab_) {
            client_.Request({{"op", "show"}, {"tab", *tab_}});
            return;
        }
        Json request = {{"op", "new"}};
        for (int f = 0; f < 3; ++f) {
            request[kFieldNames[f]] = ThunderbirdEntries(Utf16ToUtf8(draft_[f]));
        }
        const Json reply = client_.Request(std::move(request));
        if (reply.contains("tab") && reply["tab"].is_number_integer()) {
            tab_ = reply["tab"].get<int64_t>();
        }
    }

  private:
    TThunderbirdMailClient& client_;
    std::optional<int64_t> tab_;
    std::u16string draft_[3];
};

}  // namespace

TThunderbirdMailClient::TThunderbirdMailClient(TEventLoop& loop)
    : TThunderbirdMailClient(loop, TOptions{}) {}

TThunderbirdMailClient::TThunderbirdMailClient(TEventLoop& loop, TOptions options)
    : impl_(std::make_unique<TImpl>(loop, std::move(options))) {}

TThunderbirdMailClient::~TThunderbirdMailClient() = default;

std::unique_ptr<TMailItem> TThunderbirdMailClient::CreateItem() {
    return std::make_unique<TThunderbirdItem>(*this, std::nullopt);
}

std::unique_ptr<TMailItem> TThunderbirdMailClient::ActiveItem() {
    if (!impl_->Connected()) {
        return nullptr;  // no compose window can be reached now
    }
    const Json reply = Request({{"op", "active"}});
    if (!reply.contains("tab") || !reply["tab"].is_number_integer()) {
        return nullptr;
    }
    return std::make_unique<TThunderbirdItem>(*this, reply["tab"].get<int64_t>());
}

bool TThunderbirdMailClient::CanReachOpenItems() const {
    return impl_->Connected();
}

void TThunderbirdMailClient::CancelWait() {
    impl_->Cancel();
}

void TThunderbirdMailClient::SetReachChangedCallback(std::function<void()> callback) {
    impl_->SetCallback(std::move(callback));
}

void TThunderbirdMailClient::SetRequestObserver(
    std::function<void(const TRequestTimes&)> observer) {
    impl_->SetObserver(std::move(observer));
}

bool TThunderbirdMailClient::ServesSocket() const {
    return impl_->Serving();
}

Json TThunderbirdMailClient::Request(Json request) {
    return impl_->Request(std::move(request));
}
