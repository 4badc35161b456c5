// The event loop of the Qt face: watches are socket notifiers, timers are
// single-shot QTimers, and a wait serves the application's events.
#pragma once

#include "mailclient/EventLoop.h"

class TQtEventLoop : public TEventLoop {
  public:
    std::unique_ptr<TSubscription> Watch(std::intptr_t descriptor, TReady ready,
                                         std::function<void()> callback) override;
    std::unique_ptr<TSubscription> CallAfter(std::chrono::milliseconds delay,
                                             std::function<void()> callback) override;
    void Post(std::function<void()> callback) override;
    void RunUntil(const std::function<bool()>& done) override;
    TClock::time_point Now() const override { return TClock::now(); }
};
