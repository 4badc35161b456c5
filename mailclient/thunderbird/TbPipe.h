// The Windows side of the wire: the named pipe of the user's Windows session,
// which only that user's processes on this machine may open, and the check of
// the process at its other end (what SO_PEERCRED is on Linux).
#pragma once

#include <windows.h>

#include <string>

namespace tbpipe {

// \\.\pipe\quorvantel-<user SID>-<session>; the session is this process's
// Windows session id unless one is given. One user may be logged on in several
// sessions; the host has Thunderbird's, so each quorvantel pairs with the
// Thunderbird of its own session.
std::wstring PipeName(const std::string& session = "");

// Whether the process runs as the user of this process.
bool ProcessIsThisUser(DWORD pid);

// Security attributes whose descriptor grants this user alone, nobody else.
class TUserOnly {
  public:
    TUserOnly();
    ~TUserOnly();
    TUserOnly(const TUserOnly&) = delete;
    TUserOnly& operator=(const TUserOnly&) = delete;
    // Null when the descriptor could not be made.
    SECURITY_ATTRIBUTES* Get() { return descriptor_ != nullptr ? &attributes_ : nullptr; }

  private:
    PSECURITY_DESCRIPTOR descriptor_ = nullptr;
    SECURITY_ATTRIBUTES attributes_{};
};

// Which process serves a pipe: a mutex of the session, this user's alone,
// held by the thread that took it until it is released or the thread ends.
// FILE_FLAG_FIRST_PIPE_INSTANCE alone does not say it under Wine, which lets
// a second process make a "first" instance.
class TServerLock {
  public:
    explicit TServerLock(const std::wstring& pipeName);
    ~TServerLock();
    TServerLock(const TServerLock&) = delete;
    TServerLock& operator=(const TServerLock&) = delete;
    // True when this thread holds it now (a process that ended without
    // releasing it counts as gone).
    bool TryTake();
    void Release();

  private:
    HANDLE mutex_;
    bool held_ = false;
};

// A new instance of the pipe for the server, overlapped. The first one of
// the pipe only when first is set: INVALID_HANDLE_VALUE while another process
// serves it.
HANDLE CreateServerInstance(const std::wstring& name, bool first);

}  // namespace tbpipe
