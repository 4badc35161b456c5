#include "mailclient/thunderbird/TbPipe.h"

#include <sddl.h>

#include <memory>
#include <vector>

namespace tbpipe {

namespace {

// The TOKEN_USER of a process's token, or empty.
std::vector<unsigned char> TokenUserOf(HANDLE process) {
    HANDLE token = nullptr;
    if (!OpenProcessToken(process, TOKEN_QUERY, &token)) {
        return {};
    }
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<unsigned char> user(size);
    if (size == 0 || !GetTokenInformation(token, TokenUser, user.data(), size, &size)) {
        user.clear();
    }
    CloseHandle(token);
    return user;
}

PSID SidOf(std::vector<unsigned char>& user) {
    return user.empty() ? nullptr : reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid;
}

std::vector<unsigned char>& OurUser() {
    static std::vector<unsigned char> user = TokenUserOf(GetCurrentProcess());
    return user;
}

std::wstring OurSidString() {
    PSID sid = SidOf(OurUser());
    wchar_t* text = nullptr;
    if (sid == nullptr || !ConvertSidToStringSidW(sid, &text)) {
        return L"";
    }
    std::wstring out = text;
    LocalFree(text);
    return out;
}

}  // namespace

std::wstring PipeName(const std::string& session) {
    std::wstring tail;
    if (session.empty()) {
        DWORD id = 0;
        ProcessIdToSessionId(GetCurrentProcessId(), &id);
        tail = std::to_wstring(id);
    } else {
        // A test's own name: ASCII.
        tail.assign(session.begin(), session.end());
    }
    return L"\\\\.\\pipe\\quorvantel-" + OurSidString() + L"-" + tail;
}

bool ProcessIsThisUser(DWORD pid) {
    PSID ours = SidOf(OurUser());
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (ours == nullptr || process == nullptr) {
        return false;
    }
    std::vector<unsigned char> user = TokenUserOf(process);
    CloseHandle(process);
    PSID theirs = SidOf(user);
    return theirs != nullptr && EqualSid(ours, theirs);
}

TUserOnly::TUserOnly() {
    const std::wstring sid = OurSidString();
    if (sid.empty()) {
        return;
    }
    // A protected DACL with one entry: all access for this user.
    const std::wstring sddl = L"D:P(A;;GA;;;" + sid + L")";
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1,
                                                              &descriptor_, nullptr)) {
        descriptor_ = nullptr;
        return;
    }
    attributes_.nLength = sizeof attributes_;
    attributes_.lpSecurityDescriptor = descriptor_;
    attributes_.bInheritHandle = FALSE;
}

TUserOnly::~TUserOnly() {
    if (descriptor_ != nullptr) {
        LocalFree(descriptor_);
    }
}

TServerLock::TServerLock(const std::wstring& pipeName) : mutex_(nullptr) {
    TUserOnly security;
    // Local\ is the session's own namespace; the rest of the name is the pipe's.
    const std::wstring name = L"Local\\" + pipeName.substr(pipeName.find_last_of(L'\\') + 1);
    if (security.Get() != nullptr) {
        mutex_ = CreateMutexW(security.Get(), FALSE, name.c_str());
    }
}

TServerLock::~TServerLock() {
    Release();
    if (mutex_ != nullptr) {
        CloseHandle(mutex_);
    }
}

bool TServerLock::TryTake() {
    if (held_) {
        return true;
    }
    if (mutex_ == nullptr) {
        return false;
    }
    const DWORD got = WaitForSingleObject(mutex_, 0);
    held_ = got == WAIT_OBJECT_0 || got == WAIT_ABANDONED;
    return held_;
}

void TServerLock::Release() {
    if (held_) {
        ReleaseMutex(mutex_);
        held_ = false;
    }
}

HANDLE CreateServerInstance(const std::wstring& name, bool first) {
    TUserOnly security;
    if (security.Get() == nullptr) {
        return INVALID_HANDLE_VALUE;
    }
    const DWORD open =
        PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | (first ? FILE_FLAG_FIRST_PIPE_INSTANCE : 0);
    const DWORD mode = PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS;
    return CreateNamedPipeW(name.c_str(), open, mode, PIPE_UNLIMITED_INSTANCES, 65536, 65536, 0,
                            security.Get());
}

}  // namespace tbpipe
