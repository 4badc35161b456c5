// quorvantel-tb-host: Thunderbird starts it for our extension and talks to it
// on stdin and stdout; it relays every frame to the running quorvantel over
// the user's private Unix socket and back. It lives as long as Thunderbird
// keeps the extension's port open, whether quorvantel runs or not: while there
// is no quorvantel it keeps trying to connect, with a bounded back-off.
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <nlohmann/json.hpp>
#include <string>

#include "mailclient/thunderbird/TbWire.h"

namespace {

using namespace std::chrono_literals;
using tbwire::TClock;
using Json = nlohmann::json;

constexpr auto kFirstRetry = 100ms;
constexpr auto kLastRetry = 2s;
// How long a write to either side may stall before we give that side up.
constexpr auto kWriteLimit = 10s;

void Log(const std::string& text) {
    std::fprintf(stderr, "quorvantel-tb-host: %s\n", text.c_str());
}

// A connection to quorvantel, or -1; the peer must run as this user.
int ConnectToQuorvantel() {
    const std::string path = tbwire::SocketPath();
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (path.size() >= sizeof addr.sun_path) {
        return -1;
    }
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        return -1;
    }
    if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        close(fd);
        return -1;
    }
    if (!tbwire::PeerIsThisUser(fd)) {
        Log("refusing " + path + ": it is served by another user");
        close(fd);
        return -1;
    }
    return fd;
}

class THost {
  public:
    int Run() {
        fcntl(STDIN_FILENO, F_SETFL, fcntl(STDIN_FILENO, F_GETFL) | O_NONBLOCK);
        if (!ToThunderbird(Hello())) {
            return 1;
        }
        for (;;) {
            if (sock_ < 0 && TClock::now() >= nextTry_) {
                TryConnect();
            }
            pollfd fds[2] = {{STDIN_FILENO, POLLIN, 0}, {sock_, POLLIN, 0}};
            int timeout = -1;
            if (sock_ < 0) {
                const auto wait =
                    std::chrono::duration_cast<std::chrono::milliseconds>(nextTry_ - TClock::now());
                timeout = static_cast<int>(std::max<long>(0, wait.count()));
            }
            if (poll(fds, sock_ < 0 ? 1 : 2, timeout) < 0 && errno != EINTR) {
                Log(std::string("poll: ") + std::strerror(errno));
                return 1;
            }
            if (fds[0].revents != 0 && !FromThunderbird()) {
                return 0;
            }
            if (sock_ >= 0 && fds[1].revents != 0) {
                FromQuorvantel();
            }
        }
    }

  private:
    void TryConnect() {
        sock_ = ConnectToQuorvantel();
        if (sock_ < 0) {
            nextTry_ = TClock::now() + retry_;
            retry_ = std::min<std::chrono::milliseconds>(retry_ * 2, kLastRetry);
            return;
        }
        retry_ = kFirstRetry;
        fromQuorvantel_.Reset();
        // A new quorvantel: the extension drops what an earlier one left half sent.
        if (!ToThunderbird(Hello())) {
            std::exit(0);
        }
    }

    // Debug requests are answered only under the test run's environment.
    static std::string Hello() {
        Json hello = {{"hello", true}};
        if (const char* t = std::getenv("QUORVANTEL_TB_TEST"); t != nullptr && t[0] == '1') {
            hello["test"] = true;
        }
        return hello.dump();
    }

    void DropQuorvantel(const char* why) {
        if (why != nullptr) {
            Log(why);
        }
        close(sock_);
        sock_ = -1;
        fromQuorvantel_.Reset();
        nextTry_ = TClock::now();
    }

    // Reads what Thunderbird sent; false once Thunderbird has closed the port.
    bool FromThunderbird() {
        char buf[65536];
        const long n = tbwire::ReadSome(STDIN_FILENO, buf, sizeof buf, TClock::now());
        if (n == -2) {
            return true;
        }
        if (n <= 0) {
            if (fromThunderbird_.MidFrame()) {
                Log("Thunderbird closed the port in the middle of a message");
            }
            return false;
        }
        fromThunderbird_.Feed(buf, static_cast<size_t>(n));
        while (auto e = fromThunderbird_.Next()) {
            if (e->kind == tbwire::TFrameReader::TEvent::Oversized) {
                Log("dropped a message from Thunderbird of " + std::to_string(e->size) +
                    " bytes: more than " + std::to_string(tbwire::kFromExtensionLimit));
                continue;
            }
            Json message = Json::parse(e->payload, nullptr, false);
            if (message.is_discarded() || !message.is_object()) {
                Log("dropped a message from Thunderbird that is not a JSON object");
                continue;
            }
            if (sock_ < 0) {
                Log("quorvantel is not running; a reply from Thunderbird is dropped");
                continue;
            }
            if (!tbwire::WriteAll(sock_, tbwire::Frame(e->payload), TClock::now() + kWriteLimit)) {
                DropQuorvantel("quorvantel stopped reading; connecting again");
            }
        }
        return true;
    }

    void FromQuorvantel() {
        char buf[65536];
        const long n = tbwire::ReadSome(sock_, buf, sizeof buf, TClock::now());
        if (n == -2) {
            return;
        }
        if (n <= 0) {
            DropQuorvantel(fromQuorvantel_.MidFrame()
                               ? "quorvantel went away in the middle of a message"
                               : nullptr);
            return;
        }
        fromQuorvantel_.Feed(buf, static_cast<size_t>(n));
        while (sock_ >= 0) {
            auto e = fromQuorvantel_.Next();
            if (!e) {
                break;
            }
            if (e->kind == tbwire::TFrameReader::TEvent::Oversized) {
                Refuse(Json(), "tooLarge",
                       "a message of " + std::to_string(e->size) + " bytes is over 1 MiB");
                continue;
            }
            Json message = Json::parse(e->payload, nullptr, false);
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
            if (!ToThunderbird(out)) {
                std::exit(0);
            }
        }
    }

    // Answers quorvantel in the extension's stead.
    void Refuse(const Json& id, const char* code, const std::string& text) {
        Log(text);
        const Json reply = {{"id", id}, {"ok", false}, {"error", code}, {"message", text}};
        if (!tbwire::WriteAll(sock_, tbwire::Frame(reply.dump()), TClock::now() + kWriteLimit)) {
            DropQuorvantel("quorvantel stopped reading; connecting again");
        }
    }

    bool ToThunderbird(const std::string& payload) {
        if (!tbwire::WriteAll(STDOUT_FILENO, tbwire::Frame(payload), TClock::now() + kWriteLimit)) {
            Log("Thunderbird stopped reading");
            return false;
        }
        return true;
    }

    int sock_ = -1;
    TClock::time_point nextTry_ = TClock::now();
    std::chrono::milliseconds retry_ = kFirstRetry;
    tbwire::TFrameReader fromThunderbird_{tbwire::kFromExtensionLimit};
    tbwire::TFrameReader fromQuorvantel_{tbwire::kToExtensionLimit};
};

}  // namespace

int main() {
    signal(SIGPIPE, SIG_IGN);
    return THost().Run();
}
