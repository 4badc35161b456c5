#include "tests/support/StandInHost.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>

#include "mailclient/thunderbird/TbWire.h"

TStandInHost::TStandInHost(const std::string& path, TAnswer answer) : answer_(std::move(answer)) {
    fd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, path.c_str(), sizeof addr.sun_path - 1);
    connected_ = connect(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    thread_ = std::thread([this] { Serve(); });
}

TStandInHost::~TStandInHost() {
    Close();
}

void TStandInHost::Close() {
    if (fd_ >= 0) {
        Release();
        shutdown(fd_, SHUT_RDWR);
        thread_.join();
        close(fd_);
        fd_ = -1;
    }
}

void TStandInHost::Hold(const std::string& op) {
    const std::lock_guard lock(mutex_);
    held_ = op;
    release_ = false;
}

void TStandInHost::Release() {
    {
        const std::lock_guard lock(mutex_);
        release_ = true;
    }
    released_.notify_all();
}

bool TStandInHost::Holding() const {
    const std::lock_guard lock(mutex_);
    return holding_;
}

void TStandInHost::Serve() {
    tbwire::TFrameReader reader(tbwire::kToExtensionLimit);
    char buf[65536];
    for (;;) {
        const ssize_t n = read(fd_, buf, sizeof buf);
        if (n <= 0) {
            return;
        }
        reader.Feed(buf, static_cast<size_t>(n));
        while (auto e = reader.Next()) {
            if (e->kind != tbwire::TFrameReader::TEvent::Payload) {
                Received.push_back(Json{{"oversized", e->size}});
                continue;
            }
            LargestFrame = std::max(LargestFrame, e->payload.size());
            Received.push_back(Json::parse(e->payload));
            const Json& request = Received.back();
            {
                std::unique_lock lock(mutex_);
                if (!held_.empty() && request.value("op", std::string()) == held_) {
                    if (announce_ > 0) {
                        const std::string f = tbwire::Frame(
                            Json{{"id", request["id"]}, {"working", announce_}}.dump());
                        if (write(fd_, f.data(), f.size()) != static_cast<ssize_t>(f.size())) {
                            return;
                        }
                    }
                    holding_ = true;
                    released_.wait_for(lock, std::chrono::seconds(30), [this] { return release_; });
                    holding_ = false;
                }
            }
            if (auto reply = answer_(request)) {
                const std::string f = tbwire::Frame(reply->dump());
                if (write(fd_, f.data(), f.size()) != static_cast<ssize_t>(f.size())) {
                    return;
                }
            }
        }
    }
}
