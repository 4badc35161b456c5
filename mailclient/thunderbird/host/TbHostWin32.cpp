// quorvantel-tb-host.exe: Thunderbird starts it for our extension and talks to
// it on stdin and stdout; it relays every frame to the running quorvantel.exe
// over the user's named pipe and back. While there is no quorvantel it keeps
// trying to connect, with a bounded back-off. Thunderbird passes the path of
// the manifest and the extension's id, which it does not need.
//
// --install writes the manifest beside the program and the per-user key that
// tells Thunderbird where it is; --uninstall removes both.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>

#include "core/TextUtf.h"
#include "mailclient/thunderbird/TbPipe.h"
#include "mailclient/thunderbird/TbWire.h"
#include "mailclient/thunderbird/host/TbRelay.h"

namespace {

using namespace std::chrono_literals;

constexpr auto kFirstRetry = 100ms;
constexpr auto kLastRetry = 2s;
// How long a write to quorvantel may stall before we give it up.
constexpr DWORD kWriteLimitMs = 10000;

constexpr wchar_t kHostName[] = L"jp.example.quorvantel";
constexpr wchar_t kKey[] = L"Software\\Mozilla\\NativeMessagingHosts\\jp.example.quorvantel";

std::string Utf8(std::wstring_view wide) {
    return Utf16ToUtf8(std::u16string(wide.begin(), wide.end()));
}

void Log(const std::string& text) {
    std::fprintf(stderr, "quorvantel-tb-host: %s\n", text.c_str());
    std::fflush(stderr);
}

// A line for the person who ran --install or --uninstall: wide on a console,
// UTF-8 into a file or pipe.
void Say(const std::wstring& text) {
    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    const std::wstring line = text + L"\r\n";
    DWORD mode = 0, n = 0;
    if (GetConsoleMode(out, &mode)) {
        WriteConsoleW(out, line.data(), static_cast<DWORD>(line.size()), &n, nullptr);
    } else {
        const std::string bytes = Utf8(line);
        WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr);
    }
}

// Writes all of it to an overlapped handle within the limit.
bool WriteOverlapped(HANDLE handle, const std::string& data, DWORD limitMs) {
    const HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    bool ok = event != nullptr;
    size_t offset = 0;
    while (ok && offset < data.size()) {
        OVERLAPPED overlapped{};
        overlapped.hEvent = event;
        const DWORD size = static_cast<DWORD>(std::min<size_t>(data.size() - offset, 1 << 20));
        DWORD n = 0;
        if (!WriteFile(handle, data.data() + offset, size, nullptr, &overlapped) &&
            GetLastError() != ERROR_IO_PENDING) {
            ok = false;
        } else if (WaitForSingleObject(event, limitMs) != WAIT_OBJECT_0) {
            CancelIoEx(handle, &overlapped);
            GetOverlappedResult(handle, &overlapped, &n, TRUE);
            ok = false;
        } else {
            ok = GetOverlappedResult(handle, &overlapped, &n, FALSE) && n > 0;
            offset += n;
        }
    }
    if (event != nullptr) {
        CloseHandle(event);
    }
    return ok;
}

// A connection to quorvantel.exe, or INVALID_HANDLE_VALUE; the server must
// run as this user.
HANDLE ConnectToQuorvantel() {
    const HANDLE pipe = CreateFileW(
        tbpipe::PipeName().c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
        FILE_FLAG_OVERLAPPED | SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION, nullptr);
    if (pipe == INVALID_HANDLE_VALUE) {
        return pipe;
    }
    ULONG pid = 0;
    if (!GetNamedPipeServerProcessId(pipe, &pid) || !tbpipe::ProcessIsThisUser(pid)) {
        Log("refusing the pipe: it is served by another user");
        CloseHandle(pipe);
        return INVALID_HANDLE_VALUE;
    }
    return pipe;
}

class THost {
  public:
    int Run() {
        if (!ToThunderbird(TTbRelay::Hello())) {
            return 1;
        }
        std::thread(&THost::ReadThunderbird, this).detach();
        std::chrono::milliseconds retry = kFirstRetry;
        for (;;) {
            const HANDLE pipe = ConnectToQuorvantel();
            if (pipe == INVALID_HANDLE_VALUE) {
                Sleep(static_cast<DWORD>(retry.count()));
                retry = std::min<std::chrono::milliseconds>(retry * 2, kLastRetry);
                continue;
            }
            retry = kFirstRetry;
            relay_.ResetQuorvantel();
            {
                const std::lock_guard lock(pipeMutex_);
                pipe_ = pipe;
                broken_ = false;
            }
            // A new quorvantel: the extension drops what an earlier one left half sent.
            if (!ToThunderbird(TTbRelay::Hello())) {
                return 0;
            }
            ReadQuorvantel(pipe);
            {
                const std::lock_guard lock(pipeMutex_);
                pipe_ = INVALID_HANDLE_VALUE;
            }
            CloseHandle(pipe);
            relay_.ResetQuorvantel();
        }
    }

  private:
    // Until the connection ends; frames go on to Thunderbird.
    void ReadQuorvantel(HANDLE pipe) {
        const HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        static char buf[65536];
        for (;;) {
            OVERLAPPED overlapped{};
            overlapped.hEvent = event;
            DWORD n = 0;
            if (!ReadFile(pipe, buf, sizeof buf, nullptr, &overlapped) &&
                GetLastError() != ERROR_IO_PENDING) {
                break;
            }
            if (!GetOverlappedResult(pipe, &overlapped, &n, TRUE)) {
                break;
            }
            if (!relay_.FromQuorvantel(buf, n)) {
                ExitProcess(0);
            }
            if (!Connected()) {
                break;
            }
        }
        if (relay_.QuorvantelMidFrame()) {
            Log("quorvantel went away in the middle of a message");
        }
        CloseHandle(event);
    }

    // Thunderbird's side, on a thread of its own: its stdin is a plain pipe.
    void ReadThunderbird() {
        const HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
        static char buf[65536];
        for (;;) {
            DWORD n = 0;
            if (!ReadFile(in, buf, sizeof buf, &n, nullptr) || n == 0) {
                if (relay_.ThunderbirdMidFrame()) {
                    Log("Thunderbird closed the port in the middle of a message");
                }
                // Thunderbird has closed the port: the host's work is over.
                ExitProcess(0);
            }
            relay_.FromThunderbird(buf, n);
        }
    }

    bool Connected() {
        const std::lock_guard lock(pipeMutex_);
        return pipe_ != INVALID_HANDLE_VALUE && !broken_;
    }

    // From either thread.
    bool ToQuorvantel(const std::string& frame) {
        const std::lock_guard lock(pipeMutex_);
        if (pipe_ == INVALID_HANDLE_VALUE || broken_) {
            return false;
        }
        if (!WriteOverlapped(pipe_, frame, kWriteLimitMs)) {
            Log("quorvantel stopped reading; connecting again");
            broken_ = true;
            CancelIoEx(pipe_, nullptr);  // ends the read of the main thread
            return false;
        }
        return true;
    }

    // From the main thread only.
    bool ToThunderbird(const std::string& payload) {
        const std::string frame = tbwire::Frame(payload);
        DWORD n = 0;
        const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
        if (!WriteFile(out, frame.data(), static_cast<DWORD>(frame.size()), &n, nullptr) ||
            n != frame.size()) {
            Log("Thunderbird stopped reading");
            return false;
        }
        return true;
    }

    std::mutex pipeMutex_;
    HANDLE pipe_ = INVALID_HANDLE_VALUE;
    bool broken_ = false;
    TTbRelay relay_{{[this] { return Connected(); },
                     [this](const std::string& frame) { return ToQuorvantel(frame); },
                     [this](const std::string& payload) { return ToThunderbird(payload); }, Log}};
};

std::wstring ExePath() {
    std::wstring path(32768, L'\0');
    const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    path.resize(n);
    return path;
}

std::wstring ManifestPath() {
    const std::wstring exe = ExePath();
    return exe.substr(0, exe.find_last_of(L"\\/") + 1) + kHostName + L".json";
}

int Install() {
    const nlohmann::json manifest = {
        {"name", Utf8(kHostName)},
        {"description", "quorvantel: recipients into Thunderbird's compose windows"},
        {"path", Utf8(ExePath())},
        {"type", "stdio"},
        {"allowed_extensions", {QUORVANTEL_TB_EXTENSION_ID}},
    };
    const std::string text = manifest.dump(2) + "\r\n";
    const std::wstring path = ManifestPath();
    const HANDLE file =
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD n = 0;
    const bool written =
        file != INVALID_HANDLE_VALUE &&
        WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &n, nullptr) &&
        n == text.size();
    if (file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
    }
    if (!written) {
        Say(L"書き込めません: " + path);
        return 1;
    }
    HKEY key = nullptr;
    LSTATUS status = RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                                     &key, nullptr);
    if (status == ERROR_SUCCESS) {
        status =
            RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                           static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(key);
    }
    if (status != ERROR_SUCCESS) {
        DeleteFileW(path.c_str());
        Say(std::wstring(L"レジストリに書き込めません: HKEY_CURRENT_USER\\") + kKey);
        return 1;
    }
    Say(L"Thunderbird 用に登録しました: " + path);
    return 0;
}

// Removes the key, and its parents when nothing else is left in them.
bool RemoveKey() {
    LSTATUS status = RegDeleteKeyW(HKEY_CURRENT_USER, kKey);
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) {
        return false;
    }
    for (const wchar_t* parent :
         {L"Software\\Mozilla\\NativeMessagingHosts", L"Software\\Mozilla"}) {
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, parent, 0, KEY_READ, &key) != ERROR_SUCCESS) {
            continue;
        }
        DWORD subkeys = 1, values = 1;
        RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values,
                         nullptr, nullptr, nullptr, nullptr);
        RegCloseKey(key);
        if (subkeys != 0 || values != 0) {
            break;
        }
        RegDeleteKeyW(HKEY_CURRENT_USER, parent);
    }
    return true;
}

int Uninstall() {
    const std::wstring path = ManifestPath();
    if (!RemoveKey()) {
        Say(std::wstring(L"レジストリから削除できません: HKEY_CURRENT_USER\\") + kKey);
        return 1;
    }
    if (!DeleteFileW(path.c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND) {
        Say(L"削除できません: " + path);
        return 1;
    }
    Say(L"Thunderbird 用の登録を削除しました");
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring command = argc >= 2 ? argv[1] : L"";
    if (command == L"--install") {
        return Install();
    }
    if (command == L"--uninstall") {
        return Uninstall();
    }
    return THost().Run();
}
