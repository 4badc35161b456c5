// The Unix socket: a private directory, a lock file that says which quorvantel
// serves the session, and the peer's credentials checked on accept.
#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <utility>

#include "mailclient/thunderbird/TbTransport.h"
#include "mailclient/thunderbird/TbWire.h"

namespace {

using TSubscription = std::unique_ptr<TEventLoop::TSubscription>;

class TUnixConnection : public TTbConnection {
  public:
    TUnixConnection(TEventLoop& loop, int fd) : loop_(loop), fd_(fd) {}
    ~TUnixConnection() override {
        readWatch_.reset();
        writeWatch_.reset();
        close(fd_);
    }

    void Start(TCallbacks callbacks) override {
        callbacks_ = std::move(callbacks);
        readWatch_ = loop_.Watch(fd_, TEventLoop::TReady::Read, [this] { Readable(); });
    }

    long TrySend(const char* data, size_t size) override {
        const ssize_t n = send(fd_, data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
            if (!writeWatch_) {
                writeWatch_ = loop_.Watch(fd_, TEventLoop::TReady::Write, [this] {
                    writeWatch_.reset();
                    // A copy: the call may end this object.
                    const auto writable = callbacks_.writable;
                    writable();
                });
            }
            return 0;
        }
        return n < 0 ? -1 : static_cast<long>(n);
    }

  private:
    void Readable() {
        char buf[65536];
        const ssize_t n = recv(fd_, buf, sizeof buf, MSG_DONTWAIT);
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
            return;
        }
        if (n <= 0) {
            readWatch_.reset();
            const auto closed = callbacks_.closed;  // the call ends this object
            closed();
            return;
        }
        callbacks_.data(buf, static_cast<size_t>(n));
    }

    TEventLoop& loop_;
    int fd_;
    TCallbacks callbacks_;
    TSubscription readWatch_, writeWatch_;
};

class TUnixServer : public TTbServer {
  public:
    TUnixServer(TEventLoop& loop, std::string directory, std::string session)
        : loop_(loop), directory_(std::move(directory)), session_(std::move(session)) {
        if (directory_.empty()) {
            directory_ = tbwire::SocketDirectory();
        }
        if (session_.empty()) {
            session_ = tbwire::SessionKey();
        }
    }

    ~TUnixServer() override {
        if (listenFd_ >= 0) {
            listenWatch_.reset();
            close(listenFd_);
            unlink(tbwire::SocketPath(directory_, session_).c_str());
        }
        if (lockFd_ >= 0) {
            close(lockFd_);
        }
    }

    bool Listening() const override { return listenFd_ >= 0; }

    bool TryListen(std::function<void(std::unique_ptr<TTbConnection>)> accepted) override {
        if (listenFd_ >= 0) {
            return true;
        }
        if (tbwire::PreparePrivateDirectory(directory_)) {
            return false;
        }
        if (lockFd_ < 0) {
            const std::string lock = directory_ + "/tb-" + session_ + ".lock";
            lockFd_ = open(lock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
            if (lockFd_ < 0) {
                return false;
            }
        }
        if (flock(lockFd_, LOCK_EX | LOCK_NB) != 0) {
            return false;  // another quorvantel serves the socket
        }
        const std::string path = tbwire::SocketPath(directory_, session_);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        if (path.size() >= sizeof addr.sun_path) {
            return false;
        }
        std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
        const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (fd < 0) {
            return false;
        }
        unlink(path.c_str());  // left by a quorvantel that ended without cleaning up
        const mode_t oldMask = umask(0177);
        const bool bound = bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
        umask(oldMask);
        if (!bound || chmod(path.c_str(), 0600) != 0 || listen(fd, 4) != 0) {
            close(fd);
            flock(lockFd_, LOCK_UN);
            return false;
        }
        listenFd_ = fd;
        accepted_ = std::move(accepted);
        listenWatch_ = loop_.Watch(fd, TEventLoop::TReady::Read, [this] { Accept(); });
        return true;
    }

  private:
    void Accept() {
        const int fd = accept4(listenFd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            return;
        }
        if (!tbwire::PeerIsThisUser(fd)) {
            close(fd);
            return;
        }
        accepted_(std::make_unique<TUnixConnection>(loop_, fd));
    }

    TEventLoop& loop_;
    std::string directory_, session_;
    int lockFd_ = -1;
    int listenFd_ = -1;
    TSubscription listenWatch_;
    std::function<void(std::unique_ptr<TTbConnection>)> accepted_;
};

}  // namespace

std::unique_ptr<TTbServer> MakeTbServer(TEventLoop& loop, const std::string& directory,
                                        const std::string& session) {
    return std::make_unique<TUnixServer>(loop, directory, session);
}
