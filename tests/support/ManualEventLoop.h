// An event loop for tests without a toolkit. Watches are polled for real;
// timers run on the loop's own clock, which is the steady clock or, with
// TClockKind::Fake, a clock that only moves when the loop has nothing else to
// do: then it jumps to the next timer. So a test of "after one second" takes
// no second at all, and nothing sleeps.
#pragma once

#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "mailclient/EventLoop.h"

class TManualEventLoop : public TEventLoop {
  public:
    enum class TClockKind { Steady, Fake };
    explicit TManualEventLoop(TClockKind clock = TClockKind::Steady);
    ~TManualEventLoop() override;

    std::unique_ptr<TSubscription> Watch(std::intptr_t descriptor, TReady ready,
                                         std::function<void()> callback) override;
    std::unique_ptr<TSubscription> CallAfter(std::chrono::milliseconds delay,
                                             std::function<void()> callback) override;
    // With the fake clock, a wait that nothing can end (no timer, no ready
    // descriptor) throws std::logic_error instead of hanging the test.
    void RunUntil(const std::function<bool()>& done) override;
    // Posted callbacks run before anything else in the next round.
    void Post(std::function<void()> callback) override;
    TClock::time_point Now() const override;

    // Serves what is due now, without waiting.
    void RunPending();
    size_t PendingTimers() const { return timers_.size(); }

  private:
    struct TEntry;
    class TSub;
    // One round: ready descriptors, else the next timer; false when neither
    // could be had within the wait.
    bool Step(bool wait);
    void Remove(uint64_t id);

    TClockKind kind_;
    TClock::time_point fakeNow_;
    uint64_t nextId_ = 1;
    std::map<uint64_t, std::shared_ptr<TEntry>> watches_;
    std::map<uint64_t, std::shared_ptr<TEntry>> timers_;
    std::shared_ptr<bool> alive_;
    std::mutex postedMutex_;
    std::deque<std::function<void()>> posted_;
};
