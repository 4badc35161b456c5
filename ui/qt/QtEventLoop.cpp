#include "ui/qt/QtEventLoop.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <utility>

namespace {

// The object is only disconnected and disabled here: it may be the one whose
// signal is being delivered, so Qt deletes it later.
class TQtSubscription : public TEventLoop::TSubscription {
  public:
    explicit TQtSubscription(QObject* object) : object_(object) {}
    ~TQtSubscription() override {
        QObject::disconnect(object_, nullptr, nullptr, nullptr);
        if (auto* notifier = qobject_cast<QSocketNotifier*>(object_)) {
            notifier->setEnabled(false);
        } else if (auto* timer = qobject_cast<QTimer*>(object_)) {
            timer->stop();
        }
        object_->deleteLater();
    }

  private:
    QObject* object_;
};

}  // namespace

std::unique_ptr<TEventLoop::TSubscription> TQtEventLoop::Watch(std::intptr_t descriptor,
                                                               TReady ready,
                                                               std::function<void()> callback) {
    auto* notifier =
        new QSocketNotifier(static_cast<qintptr>(descriptor),
                            ready == TReady::Read ? QSocketNotifier::Read : QSocketNotifier::Write);
    QObject::connect(notifier, &QSocketNotifier::activated, notifier,
                     [callback = std::move(callback)] { callback(); });
    return std::make_unique<TQtSubscription>(notifier);
}

std::unique_ptr<TEventLoop::TSubscription> TQtEventLoop::CallAfter(std::chrono::milliseconds delay,
                                                                   std::function<void()> callback) {
    auto* timer = new QTimer;
    timer->setSingleShot(true);
    timer->setTimerType(Qt::PreciseTimer);
    QObject::connect(timer, &QTimer::timeout, timer,
                     [callback = std::move(callback)] { callback(); });
    timer->start(static_cast<int>(std::max<std::chrono::milliseconds::rep>(delay.count(), 0)));
    return std::make_unique<TQtSubscription>(timer);
}

void TQtEventLoop::Post(std::function<void()> callback) {
    // Queued to the application object, whose thread is the loop's.
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [callback = std::move(callback)] { callback(); },
        Qt::QueuedConnection);
}

void TQtEventLoop::RunUntil(const std::function<bool()>& done) {
    while (!done()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
}
