#include "tests/support/ManualEventLoop.h"

#include <poll.h>

#include <stdexcept>
#include <utility>

struct TManualEventLoop::TEntry {
    std::intptr_t Descriptor = -1;
    TReady Ready = TReady::Read;
    TClock::time_point Due;
    std::function<void()> Callback;
    bool Live = true;
};

class TManualEventLoop::TSub : public TSubscription {
  public:
    TSub(TManualEventLoop& loop, uint64_t id, std::shared_ptr<TEntry> entry)
        : loop_(loop), id_(id), entry_(std::move(entry)), alive_(loop.alive_) {}
    ~TSub() override {
        entry_->Live = false;
        if (*alive_) {
            loop_.Remove(id_);
        }
    }

  private:
    TManualEventLoop& loop_;
    uint64_t id_;
    std::shared_ptr<TEntry> entry_;
    std::shared_ptr<bool> alive_;
};

TManualEventLoop::TManualEventLoop(TClockKind clock)
    : kind_(clock), fakeNow_(TClock::now()), alive_(std::make_shared<bool>(true)) {}

TManualEventLoop::~TManualEventLoop() {
    *alive_ = false;
}

TEventLoop::TClock::time_point TManualEventLoop::Now() const {
    return kind_ == TClockKind::Fake ? fakeNow_ : TClock::now();
}

std::unique_ptr<TEventLoop::TSubscription> TManualEventLoop::Watch(std::intptr_t descriptor,
                                                                   TReady ready,
                                                                   std::function<void()> callback) {
    auto entry = std::make_shared<TEntry>();
    entry->Descriptor = descriptor;
    entry->Ready = ready;
    entry->Callback = std::move(callback);
    const uint64_t id = nextId_++;
    watches_[id] = entry;
    return std::make_unique<TSub>(*this, id, entry);
}

std::unique_ptr<TEventLoop::TSubscription> TManualEventLoop::CallAfter(
    std::chrono::milliseconds delay, std::function<void()> callback) {
    auto entry = std::make_shared<TEntry>();
    entry->Due = Now() + delay;
    entry->Callback = std::move(callback);
    const uint64_t id = nextId_++;
    timers_[id] = entry;
    return std::make_unique<TSub>(*this, id, entry);
}

void TManualEventLoop::Remove(uint64_t id) {
    watches_.erase(id);
    timers_.erase(id);
}

void TManualEventLoop::Post(std::function<void()> callback) {
    const std::lock_guard lock(postedMutex_);
    posted_.push_back(std::move(callback));
}

bool TManualEventLoop::Step(bool wait) {
    std::function<void()> posted;
    {
        const std::lock_guard lock(postedMutex_);
        if (!posted_.empty()) {
            posted = std::move(posted_.front());
            posted_.pop_front();
        }
    }
    if (posted) {
        posted();
        return true;
    }
    // The earliest timer, first made first among equals.
    std::shared_ptr<TEntry> next;
    uint64_t nextId = 0;
    for (const auto& [id, t] : timers_) {
        if (!next || t->Due < next->Due) {
            next = t;
            nextId = id;
        }
    }
    if (next && next->Due <= Now()) {
        timers_.erase(nextId);
        if (next->Live) {
            next->Callback();
        }
        return true;
    }
    std::vector<pollfd> fds;
    std::vector<std::shared_ptr<TEntry>> entries;
    for (const auto& [id, w] : watches_) {
        fds.push_back({static_cast<int>(w->Descriptor),
                       static_cast<short>(w->Ready == TReady::Read ? POLLIN : POLLOUT), 0});
        entries.push_back(w);
    }
    int timeout = 0;
    if (wait && kind_ == TClockKind::Steady) {
        // Short rounds, so that a condition that changes without an event is seen.
        timeout = 10;
        if (next) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(next->Due - Now()).count();
            timeout = static_cast<int>(std::min<long long>(std::max<long long>(left, 0), timeout));
        }
    }
    const int n = fds.empty() && timeout == 0 ? 0 : poll(fds.data(), fds.size(), timeout);
    if (n > 0) {
        for (size_t i = 0; i < fds.size(); ++i) {
            if (fds[i].revents != 0 && entries[i]->Live) {
                entries[i]->Callback();
            }
        }
        return true;
    }
    if (kind_ == TClockKind::Fake && wait && next) {
        fakeNow_ = next->Due;
        return true;
    }
    return kind_ == TClockKind::Steady && wait;
}

void TManualEventLoop::RunUntil(const std::function<bool()>& done) {
    while (!done()) {
        if (!Step(true)) {
            throw std::logic_error("the wait can never end: no timer and nothing to read");
        }
    }
}

void TManualEventLoop::RunPending() {
    while (Step(false)) {
    }
}
