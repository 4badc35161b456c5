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
#include <string>

#include "mailclient/thunderbird/TbWire.h"
#include "mailclient/thunderbird/host/TbRelay.h"

namespace {

using namespace std::chrono_literals;
using tbwire::TClock;

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
        if (!ToThunderbird(TTbRelay::Hello())) {
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
        relay_.ResetQuorvantel();
        // A new quorvantel: the extension drops what an earlier one left half sent.
        if (!ToThunderbird(TTbRelay::Hello())) {
            std::exit(0);
        }
    }

    void DropQuorvantel(const char* why) {
        if (why != nullptr) {
            Log(why);
        }
        close(sock_);
        sock_ = -1;
        relay_.ResetQuorvantel();
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
            if (relay_.ThunderbirdMidFrame()) {
                Log("Thunderbird closed the port in the middle of a message");
            }
            return false;
        }
        relay_.FromThunderbird(buf, static_cast<size_t>(n));
        return true;
    }

    void FromQuorvantel() {
        char buf[65536];
        const long n = tbwire::ReadSome(sock_, buf, sizeof buf, TClock::now());
        if (n == -2) {
            return;
        }
        if (n <= 0) {
            DropQuorvantel(relay_.QuorvantelMidFrame()
                               ? "quorvantel went away in the middle of a message"
                               : nullptr);
            return;
        }
        if (!relay_.FromQuorvantel(buf, static_cast<size_t>(n))) {
            std::exit(0);
        }
    }

    bool ToQuorvantel(const std::string& frame) {
        if (!tbwire::WriteAll(sock_, frame, TClock::now() + kWriteLimit)) {
            DropQuorvantel("quorvantel stopped reading; connecting again");
            return false;
        }
        return true;
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
    TTbRelay relay_{{[this] { return sock_ >= 0; },
                     [this](const std::string& frame) { return ToQuorvantel(frame); },
                     [this](const std::string& payload) { return ToThunderbird(payload); }, Log}};
};

}  // namespace

int main() {
    signal(SIGPIPE, SIG_IGN);
    return THost().Run();
}
