// The Unix side of the wire: where the socket is, and who is at its other end.
#include <errno.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "mailclient/thunderbird/TbWire.h"

namespace tbwire {

std::string SocketDirectory() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] == '/') {
        return std::string(runtime) + "/quorvantel";
    }
    return "/tmp/quorvantel-" + std::to_string(getuid());
}

std::string SessionKey() {
    std::string key;
    const auto add = [&key](char tag, const char* variable) {
        const char* value = std::getenv(variable);
        if (value == nullptr || value[0] == '\0') {
            return;
        }
        std::string v = value;
        if (tag == 'x') {
            // ":0" and ":0.0" are one display.
            const size_t colon = v.rfind(':');
            const size_t dot = v.find('.', colon == std::string::npos ? 0 : colon);
            if (colon != std::string::npos && dot != std::string::npos) {
                v.erase(dot);
            }
        }
        key += tag;
        for (const unsigned char c : v) {
            if (std::isalnum(c) != 0 || c == '.' || c == '-') {
                key += static_cast<char>(c);
            } else {
                static const char kHex[] = "0123456789abcdef";
                key += '_';
                key += kHex[c >> 4];
                key += kHex[c & 15];
            }
        }
    };
    add('x', "DISPLAY");
    add('w', "WAYLAND_DISPLAY");
    if (key.empty()) {
        return "none";
    }
    if (key.size() > 48) {
        // A socket path has room for about 100 bytes.
        uint64_t hash = 14695981039346656037ull;
        for (const unsigned char c : key) {
            hash = (hash ^ c) * 1099511628211ull;
        }
        char buf[20];
        std::snprintf(buf, sizeof buf, "h%016llx", static_cast<unsigned long long>(hash));
        return buf;
    }
    return key;
}

std::string SocketPath(const std::string& directory, const std::string& session) {
    return directory + "/tb-" + session + ".sock";
}

std::string SocketPath() {
    return SocketPath(SocketDirectory(), SessionKey());
}

std::optional<std::string> PreparePrivateDirectory(const std::string& dir) {
    if (mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) {
        return dir + ": " + std::strerror(errno);
    }
    struct stat st {};
    if (lstat(dir.c_str(), &st) != 0) {
        return dir + ": " + std::strerror(errno);
    }
    if (!S_ISDIR(st.st_mode)) {
        return dir + " is not a directory";
    }
    if (st.st_uid != getuid()) {
        return dir + " belongs to another user";
    }
    if ((st.st_mode & 077) != 0 && chmod(dir.c_str(), 0700) != 0) {
        return dir + " is open to other users";
    }
    return std::nullopt;
}

bool PeerIsThisUser(int fd) {
    struct ucred cred {};
    socklen_t len = sizeof cred;
    return getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &len) == 0 && len == sizeof cred &&
           cred.uid == getuid();
}

namespace {
int MillisecondsUntil(TClock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - TClock::now()).count();
    return left <= 0 ? 0 : static_cast<int>(left > 60000 ? 60000 : left);
}
}  // namespace

bool WriteAll(int fd, std::string_view data, TClock::time_point deadline) {
    while (!data.empty()) {
        const ssize_t n = send(fd, data.data(), data.size(), MSG_NOSIGNAL);
        if (n > 0) {
            data.remove_prefix(static_cast<size_t>(n));
            continue;
        }
        if (n < 0 && errno == ENOTSOCK) {
            const ssize_t w = write(fd, data.data(), data.size());
            if (w > 0) {
                data.remove_prefix(static_cast<size_t>(w));
                continue;
            }
            if (w < 0 && errno != EAGAIN && errno != EINTR) {
                return false;
            }
        } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
            return false;
        }
        if (TClock::now() >= deadline) {
            return false;
        }
        pollfd p{fd, POLLOUT, 0};
        poll(&p, 1, MillisecondsUntil(deadline));
    }
    return true;
}

long ReadSome(int fd, char* buffer, size_t size, TClock::time_point deadline) {
    for (;;) {
        const ssize_t n = read(fd, buffer, size);
        if (n >= 0) {
            return static_cast<long>(n);
        }
        if (errno != EAGAIN && errno != EINTR) {
            return -1;
        }
        const int wait = MillisecondsUntil(deadline);
        if (wait == 0 && TClock::now() >= deadline) {
            return -2;
        }
        pollfd p{fd, POLLIN, 0};
        poll(&p, 1, wait);
    }
}

}  // namespace tbwire
