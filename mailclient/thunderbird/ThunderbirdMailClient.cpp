#include "mailclient/thunderbird/ThunderbirdMailClient.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <QTimer>
#include <cstring>
#include <optional>
#include <utility>

#include "core/TextUtf.h"
#include "mailclient/thunderbird/TbRecipients.h"
#include "mailclient/thunderbird/TbWire.h"

using Json = nlohmann::json;
using tbwire::TClock;

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

}  // namespace

class TThunderbirdMailClient::TImpl {
  public:
    explicit TImpl(TOptions options) : options_(std::move(options)) {
        if (options_.directory.empty()) {
            options_.directory = tbwire::SocketDirectory();
        }
        retry_.setInterval(static_cast<int>(options_.takeOverInterval.count()));
        QObject::connect(&retry_, &QTimer::timeout, [this] { TakeOver(); });
        TakeOver();
        if (listenFd_ < 0) {
            retry_.start();
        }
    }

    ~TImpl() {
        DropConnection(false);
        if (listenFd_ >= 0) {
            listenNotifier_.reset();
            close(listenFd_);
            unlink(SocketPath().c_str());
        }
        if (lockFd_ >= 0) {
            close(lockFd_);
        }
    }

    bool Connected() const { return connFd_ >= 0; }
    bool Serving() const { return listenFd_ >= 0; }
    void SetCallback(std::function<void()> cb) { reachChanged_ = std::move(cb); }

    Json Request(Json request) {
        if (connFd_ < 0) {
            ThrowGone();
        }
        const int64_t id = ++lastId_;
        request["id"] = id;
        size_t recipients = 0;
        for (const char* field : kFieldNames) {
            if (request.contains(field) && request[field].is_array()) {
                recipients += request[field].size();
            }
        }
        const auto limit =
            options_.replyTimeout + std::chrono::duration_cast<std::chrono::milliseconds>(
                                        options_.perRecipient * static_cast<int64_t>(recipients));
        const auto deadline = TClock::now() + limit;
        for (const std::string& frame : Pieces(std::move(request), id)) {
            if (!tbwire::WriteAll(connFd_, frame, deadline)) {
                if (TClock::now() >= deadline) {
                    ThrowTimeout(limit);
                }
                DropConnection(true);
                ThrowGone();
            }
        }
        for (;;) {
            while (auto e = reader_.Next()) {
                if (e->kind != tbwire::TFrameReader::TEvent::Payload) {
                    continue;
                }
                Json reply = Json::parse(e->payload, nullptr, false);
                if (!reply.is_object()) {
                    continue;
                }
                const Json& rid = reply.contains("id") ? reply["id"] : Json();
                if (rid.is_null() && reply.value("ok", true) == false) {
                    throw EThunderbirdError("Thunderbird への要求が受け付けられませんでした: " +
                                            reply.value("message", std::string()));
                }
                if (rid != Json(id)) {
                    continue;  // the late answer to an earlier request
                }
                if (!reply.value("ok", false)) {
                    if (reply.value("error", std::string()) == "noTab") {
                        throw EThunderbirdError("メールの作成ウインドウが閉じられました");
                    }
                    throw EThunderbirdError("Thunderbird が要求を処理できませんでした: " +
                                            reply.value("message", std::string()));
                }
                return reply;
            }
            char buf[65536];
            const long n = tbwire::ReadSome(connFd_, buf, sizeof buf, deadline);
            if (n == -2) {
                ThrowTimeout(limit);
            }
            if (n <= 0) {
                DropConnection(true);
                ThrowGone();
            }
            reader_.Feed(buf, static_cast<size_t>(n));
        }
    }

  private:
    [[noreturn]] static void ThrowTimeout(std::chrono::milliseconds limit) {
        throw EThunderbirdError("Thunderbird が " + std::to_string((limit.count() + 999) / 1000) +
                                " 秒以内に応答しませんでした");
    }

    std::string SocketPath() const { return options_.directory + "/tb.sock"; }

    // The request as frames of at most 1 MiB: the recipients that do not fit go
    // ahead in "chunk" messages, which the extension puts in front of the ones
    // in the request itself.
    std::vector<std::string> Pieces(Json request, int64_t id) {
        std::vector<std::string> frames;
        std::string whole = request.dump();
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
                frames.push_back(tbwire::Frame(chunk.dump()));
                piece = Json::array();
                size = 0;
            };
            for (Json& entry : list) {
                const size_t entrySize = entry.dump().size() + 1;
                if (entrySize > tbwire::kToExtensionLimit - kEnvelope) {
                    // Checked before anything is sent, so no half request is carried out.
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
        whole = request.dump();
        frames.push_back(tbwire::Frame(whole));
        return frames;
    }

    void TakeOver() {
        if (listenFd_ >= 0) {
            return;
        }
        if (tbwire::PreparePrivateDirectory(options_.directory)) {
            return;
        }
        if (lockFd_ < 0) {
            const std::string lock = options_.directory + "/tb.lock";
            lockFd_ = open(lock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
            if (lockFd_ < 0) {
                return;
            }
        }
        if (flock(lockFd_, LOCK_EX | LOCK_NB) != 0) {
            return;  // another quorvantel serves the socket
        }
        const std::string path = SocketPath();
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        if (path.size() >= sizeof addr.sun_path) {
            return;
        }
        std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
        const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (fd < 0) {
            return;
        }
        unlink(path.c_str());  // left by a quorvantel that ended without cleaning up
        const mode_t oldMask = umask(0177);
        const bool bound = bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
        umask(oldMask);
        if (!bound || chmod(path.c_str(), 0600) != 0 || listen(fd, 4) != 0) {
            close(fd);
            flock(lockFd_, LOCK_UN);
            return;
        }
        listenFd_ = fd;
        retry_.stop();
        listenNotifier_ = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
        QObject::connect(listenNotifier_.get(), &QSocketNotifier::activated, [this] { Accept(); });
    }

    void Accept() {
        const int fd = accept4(listenFd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            return;
        }
        if (!tbwire::PeerIsThisUser(fd)) {
            close(fd);
            return;
        }
        // The newest host wins: an older one belongs to a Thunderbird that
        // has gone or is going.
        const bool was = Connected();
        DropConnection(false);
        connFd_ = fd;
        connNotifier_ = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
        QObject::connect(connNotifier_.get(), &QSocketNotifier::activated, [this] { Idle(); });
        if (!was && reachChanged_) {
            reachChanged_();
        }
    }

    // Something arrived while no request waits: the end of the connection,
    // or an answer that came too late.
    void Idle() {
        char buf[65536];
        const long n = tbwire::ReadSome(connFd_, buf, sizeof buf, TClock::now());
        if (n == -2) {
            return;
        }
        if (n <= 0) {
            DropConnection(true);
            return;
        }
        reader_.Feed(buf, static_cast<size_t>(n));
        while (reader_.Next()) {
        }
    }

    void DropConnection(bool tell) {
        if (connFd_ < 0) {
            return;
        }
        connNotifier_.reset();
        close(connFd_);
        connFd_ = -1;
        reader_.Reset();
        if (tell && reachChanged_) {
            reachChanged_();
        }
    }

    TOptions options_;
    int lockFd_ = -1;
    int listenFd_ = -1;
    int connFd_ = -1;
    int64_t lastId_ = 0;
    tbwire::TFrameReader reader_{tbwire::kFromExtensionLimit};
    std::unique_ptr<QSocketNotifier> listenNotifier_;
    std::unique_ptr<QSocketNotifier> connNotifier_;
    QTimer retry_;
    std::function<void()> reachChanged_;
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

TThunderbirdMailClient::TThunderbirdMailClient() : TThunderbirdMailClient(TOptions{}) {}

TThunderbirdMailClient::TThunderbirdMailClient(TOptions options)
    : impl_(std::make_unique<TImpl>(std::move(options))) {}

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

void TThunderbirdMailClient::SetReachChangedCallback(std::function<void()> callback) {
    impl_->SetCallback(std::move(callback));
}

bool TThunderbirdMailClient::ServesSocket() const {
    return impl_->Serving();
}

Json TThunderbirdMailClient::Request(Json request) {
    return impl_->Request(std::move(request));
}
