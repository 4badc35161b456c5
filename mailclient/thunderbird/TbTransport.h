// How the host's connections reach quorvantel: a Unix socket on Linux, a named
// pipe on Windows. The request protocol on top (ids, chunks, deadlines) is the
// same for both and lives in ThunderbirdMailClient.cpp; here only bytes move.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>

#include "mailclient/EventLoop.h"

// One verified connection from a host. Its callbacks run on the event loop;
// the object may be destroyed inside any of them, after which none follows.
class TTbConnection {
  public:
    struct TCallbacks {
        std::function<void(const char* data, size_t size)> data;
        std::function<void()> closed;
        // After TrySend took nothing: it may take more now.
        std::function<void()> writable;
    };

    virtual ~TTbConnection() = default;
    virtual void Start(TCallbacks callbacks) = 0;
    // How many bytes it took now: 0 when it can take none before writable is
    // called, -1 when the connection is broken (closed follows or has come).
    virtual long TrySend(const char* data, size_t size) = 0;
};

// The session's one server. The first quorvantel of a session gets it; the
// others get false until that one ends.
class TTbServer {
  public:
    virtual ~TTbServer() = default;
    // Tries to become the server; from then on, each host that connects and
    // runs as this user is handed over.
    virtual bool TryListen(std::function<void(std::unique_ptr<TTbConnection>)> accepted) = 0;
    virtual bool Listening() const = 0;
};

// Linux: the socket of the session in the directory (either empty for the
// usual ones). Windows: the named pipe of the session (the directory unused).
std::unique_ptr<TTbServer> MakeTbServer(TEventLoop& loop, const std::string& directory,
                                        const std::string& session);
