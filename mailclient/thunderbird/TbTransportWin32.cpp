// The named pipe: overlapped I/O, each operation's end waited for on the
// thread pool and handed back to the event loop's thread with Post. The first
// instance of the pipe says which quorvantel serves the session.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "mailclient/thunderbird/TbPipe.h"
#include "mailclient/thunderbird/TbTransport.h"

namespace {

// One overlapped operation at a time; done runs on the loop's thread when it
// has ended. Destroying it cancels the operation and waits for its end.
class TPending {
  public:
    TPending(TEventLoop& loop, HANDLE& file, std::function<void()> done)
        : file_(file),
          event_(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
          state_(std::make_shared<TState>(TState{&loop, this})),
          done_(std::move(done)) {}
    ~TPending() {
        if (busy_ && file_ != INVALID_HANDLE_VALUE) {
            CancelIoEx(file_, &overlapped_);
            DWORD ignored = 0;
            GetOverlappedResult(file_, &overlapped_, &ignored, TRUE);
        }
        if (wait_ != nullptr) {
            // Blocks until a callback on its way has posted; the post finds no owner.
            UnregisterWaitEx(wait_, INVALID_HANDLE_VALUE);
        }
        state_->owner = nullptr;
        CloseHandle(event_);
    }
    TPending(const TPending&) = delete;
    TPending& operator=(const TPending&) = delete;

    bool Busy() const { return busy_; }

    // Before the call that starts the operation.
    OVERLAPPED* Begin() {
        overlapped_ = OVERLAPPED{};
        overlapped_.hEvent = event_;
        ResetEvent(event_);
        failed_ = false;
        busy_ = true;
        return &overlapped_;
    }
    // After it: ERROR_IO_PENDING or success wait for the event; another
    // error ends the operation as failed, on the loop like the rest.
    void Started(bool ok, DWORD error) {
        if (!ok && error != ERROR_IO_PENDING) {
            failed_ = true;
            SetEvent(event_);
        }
        RegisterWaitForSingleObject(&wait_, event_, Signalled, &state_, INFINITE,
                                    WT_EXECUTEONLYONCE);
    }
    // Once done has been called: whether the operation succeeded, and its bytes.
    bool Result(DWORD& bytes) {
        bytes = 0;
        return !failed_ && GetOverlappedResult(file_, &overlapped_, &bytes, FALSE);
    }

  private:
    struct TState {
        TEventLoop* loop;
        TPending* owner;  // null once gone; read on the loop's thread only
    };

    static void CALLBACK Signalled(PVOID context, BOOLEAN) {
        const std::shared_ptr<TState> state = *static_cast<std::shared_ptr<TState>*>(context);
        state->loop->Post([state] {
            if (state->owner != nullptr) {
                state->owner->Fire();
            }
        });
    }

    void Fire() {
        if (wait_ != nullptr) {
            UnregisterWaitEx(wait_, nullptr);
            wait_ = nullptr;
        }
        busy_ = false;
        // A copy: the call may end this object.
        const auto done = done_;
        done();
    }

    HANDLE& file_;
    HANDLE event_;
    OVERLAPPED overlapped_{};
    HANDLE wait_ = nullptr;
    bool busy_ = false;
    bool failed_ = false;
    std::shared_ptr<TState> state_;
    std::function<void()> done_;
};

// A handle closed last, after the operations on it have been cancelled.
struct THandle {
    explicit THandle(HANDLE h) : handle(h) {}
    ~THandle() {
        if (handle != INVALID_HANDLE_VALUE) {
            CloseHandle(handle);
        }
    }
    THandle(const THandle&) = delete;
    THandle& operator=(const THandle&) = delete;
    HANDLE handle;
};

class TPipeConnection : public TTbConnection {
  public:
    TPipeConnection(TEventLoop& loop, HANDLE pipe)
        : pipe_(pipe),
          read_(loop, pipe_.handle, [this] { Read(); }),
          write_(loop, pipe_.handle, [this] { Written(); }) {}

    void Start(TCallbacks callbacks) override {
        callbacks_ = std::move(callbacks);
        StartRead();
    }

    long TrySend(const char* data, size_t size) override {
        if (broken_) {
            return -1;
        }
        if (write_.Busy()) {
            return 0;  // Written() calls writable
        }
        const size_t n = std::min(size, kChunk);
        outgoing_.assign(data, n);
        const BOOL ok = WriteFile(pipe_.handle, outgoing_.data(), static_cast<DWORD>(n), nullptr,
                                  write_.Begin());
        write_.Started(ok != FALSE, GetLastError());
        return static_cast<long>(n);
    }

  private:
    static constexpr size_t kChunk = 256 * 1024;

    void StartRead() {
        const BOOL ok = ReadFile(pipe_.handle, incoming_, sizeof incoming_, nullptr, read_.Begin());
        read_.Started(ok != FALSE, GetLastError());
    }

    void Read() {
        DWORD n = 0;
        if (!read_.Result(n)) {
            Close();
            return;
        }
        if (n > 0) {
            callbacks_.data(incoming_, n);
        }
        StartRead();
    }

    void Written() {
        DWORD n = 0;
        if (!write_.Result(n) || n != outgoing_.size()) {
            Close();
            return;
        }
        const auto writable = callbacks_.writable;  // the call may end this object
        writable();
    }

    void Close() {
        if (broken_) {
            return;
        }
        broken_ = true;
        const auto closed = callbacks_.closed;  // the call ends this object
        closed();
    }

    THandle pipe_;  // first: destroyed last
    TPending read_, write_;
    TCallbacks callbacks_;
    char incoming_[65536];
    std::string outgoing_;
    bool broken_ = false;
};

class TPipeServer : public TTbServer {
  public:
    TPipeServer(TEventLoop& loop, const std::string& session)
        : loop_(loop), name_(tbpipe::PipeName(session)), lock_(name_) {}

    bool Listening() const override { return listening_; }

    bool TryListen(std::function<void(std::unique_ptr<TTbConnection>)> accepted) override {
        if (listening_) {
            return true;
        }
        if (!lock_.TryTake()) {
            return false;  // another quorvantel serves the pipe
        }
        // The first instance: on Windows also refused while another process has the pipe.
        const HANDLE first = tbpipe::CreateServerInstance(name_, true);
        if (first == INVALID_HANDLE_VALUE) {
            lock_.Release();
            return false;
        }
        listening_ = true;
        accepted_ = std::move(accepted);
        Listen(first);
        return true;
    }

  private:
    void Listen(HANDLE instance) {
        pending_.reset();
        instance_.reset();
        instance_ = std::make_unique<THandle>(instance);
        pending_ = std::make_unique<TPending>(loop_, instance_->handle, [this] { Connected(); });
        OVERLAPPED* overlapped = pending_->Begin();
        const BOOL ok = ConnectNamedPipe(instance, overlapped);
        const DWORD error = GetLastError();
        if (!ok && error == ERROR_PIPE_CONNECTED) {
            // Connected between the creation and the call: no event of its own.
            SetEvent(overlapped->hEvent);
            pending_->Started(true, 0);
            return;
        }
        pending_->Started(ok != FALSE, error);
    }

    void Connected() {
        DWORD ignored = 0;
        const bool ok = pending_->Result(ignored);
        const HANDLE pipe = instance_->handle;
        // The next instance before this one is handed on, so that the pipe
        // never ceases to exist while we serve it.
        const HANDLE next = tbpipe::CreateServerInstance(name_, false);
        ULONG pid = 0;
        if (ok && GetNamedPipeClientProcessId(pipe, &pid) && tbpipe::ProcessIsThisUser(pid)) {
            pending_.reset();
            instance_->handle = INVALID_HANDLE_VALUE;  // the connection's now
            accepted_(std::make_unique<TPipeConnection>(loop_, pipe));
        } else {
            DisconnectNamedPipe(pipe);
        }
        if (next == INVALID_HANDLE_VALUE) {
            // Hardly ever: try again in a while, on the instance we have.
            retry_ = loop_.CallAfter(std::chrono::seconds(1), [this] { Reconnect(); });
            return;
        }
        Listen(next);
    }

    void Reconnect() {
        const HANDLE next = tbpipe::CreateServerInstance(name_, false);
        if (next == INVALID_HANDLE_VALUE) {
            retry_ = loop_.CallAfter(std::chrono::seconds(1), [this] { Reconnect(); });
            return;
        }
        Listen(next);
    }

    TEventLoop& loop_;
    std::wstring name_;
    tbpipe::TServerLock lock_;  // released after the instances are gone
    bool listening_ = false;
    std::unique_ptr<THandle> instance_;
    std::unique_ptr<TPending> pending_;  // on instance_, so destroyed first
    std::unique_ptr<TEventLoop::TSubscription> retry_;
    std::function<void(std::unique_ptr<TTbConnection>)> accepted_;
};

}  // namespace

std::unique_ptr<TTbServer> MakeTbServer(TEventLoop& loop, const std::string&,
                                        const std::string& session) {
    return std::make_unique<TPipeServer>(loop, session);
}
