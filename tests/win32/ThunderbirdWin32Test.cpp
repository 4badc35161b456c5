// Thunderbird for Windows, with a stand-in for Thunderbird: it finds the host
// as Thunderbird does (the per-user registry key, then the manifest), starts
// it with its stdin and stdout as the port, and answers the host's messages as
// our extension (background.js) does. Through it, quorvantel.exe driven by its
// windows (ExeDriver.h), and quorvantel-tb-host.exe --install and --uninstall.
#include <windows.h>

#include <aclapi.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "mailclient/thunderbird/TbPipe.h"
#include "mailclient/thunderbird/TbWire.h"
#include "tests/win32/ExeDriver.h"
#include "tests/win32/FakeOutlookLog.h"
#include "tests/win32/WineTest.h"

namespace {

using namespace exedriver;
using Json = nlohmann::json;

const fs::path kHost = DosPath(QUORVANTEL_TB_HOST);
const fs::path kFakeLog = TestDir() / "fake_outlook.log";
const fs::path kFakeDll = TestDir() / "fake_outlook.dll";
constexpr wchar_t kParentKey[] = L"Software\\Mozilla\\NativeMessagingHosts";
constexpr wchar_t kKey[] = L"Software\\Mozilla\\NativeMessagingHosts\\jp.example.quorvantel";
constexpr char kExtensionId[] = "quorvantel@example.jp";

// ---------------------------------------------------------------------------
// The registry and the folder.

std::optional<std::wstring> DefaultValue(const wchar_t* key) {
    wchar_t value[MAX_PATH * 4] = {};
    DWORD size = sizeof value;
    if (RegGetValueW(HKEY_CURRENT_USER, key, nullptr, RRF_RT_REG_SZ, nullptr, value, &size) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    return std::wstring(value);
}

bool KeyExists(const wchar_t* key) {
    HKEY h = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, key, 0, KEY_READ, &h) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(h);
    return true;
}

// The subkeys of HKCU\Software\Mozilla, each with its default value, and
// whether the key is there at all.
std::map<std::wstring, std::wstring> MozillaKeys() {
    std::map<std::wstring, std::wstring> keys;
    const std::function<void(const std::wstring&)> walk = [&](const std::wstring& path) {
        HKEY h = nullptr;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) {
            return;
        }
        keys[path] = DefaultValue(path.c_str()).value_or(L"(none)");
        std::vector<std::wstring> children;
        wchar_t name[256];
        for (DWORD i = 0;; ++i) {
            DWORD size = 256;
            if (RegEnumKeyExW(h, i, name, &size, nullptr, nullptr, nullptr, nullptr) !=
                ERROR_SUCCESS) {
                break;
            }
            children.push_back(path + L"\\" + name);
        }
        RegCloseKey(h);
        for (const std::wstring& child : children) {
            walk(child);
        }
    };
    walk(L"Software\\Mozilla");
    return keys;
}

std::set<std::string> Listing(const fs::path& dir) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) {
        names.insert(Utf8(entry.path().filename()) + " " +
                     std::to_string(entry.is_regular_file() ? entry.file_size() : 0));
    }
    return names;
}

// Runs the program with the arguments and waits for it; its exit code, or -1.
int RunProgram(const fs::path& exe, const std::wstring& arguments) {
    std::wstring command = L"\"" + exe.wstring() + L"\" " + arguments;
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                        nullptr, exe.parent_path().c_str(), &si, &pi)) {
        return -1;
    }
    DWORD code = static_cast<DWORD>(-1);
    if (WaitForSingleObject(pi.hProcess, 30000) == WAIT_OBJECT_0) {
        GetExitCodeProcess(pi.hProcess, &code);
    } else {
        TerminateProcess(pi.hProcess, 1);
    }
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return static_cast<int>(code);
}

// ---------------------------------------------------------------------------
// The stand-in Thunderbird with our extension in it.

class TStandInThunderbird {
  public:
    using TEntries = std::vector<std::string>;
    struct TCompose {
        TEntries to, cc, bcc;
        bool operator==(const TCompose&) const = default;
    };

    // Finds and starts the host as Thunderbird does for connectNative.
    TStandInThunderbird() {
        const std::optional<std::wstring> manifestPath = DefaultValue(kKey);
        if (!manifestPath) {
            ADD_FAILURE() << "no registry key for the host";
            return;
        }
        const Json manifest = Json::parse(ReadBytes(*manifestPath), nullptr, false);
        if (!manifest.is_object() || manifest.value("name", "") != "jp.example.quorvantel" ||
            manifest.value("type", "") != "stdio" ||
            manifest.value("allowed_extensions", Json::array()) != Json::array({kExtensionId})) {
            ADD_FAILURE() << "a manifest Thunderbird would refuse: " << manifest.dump();
            return;
        }
        // On Windows the path may also be relative to the manifest.
        fs::path host = fs::path(Utf8ToUtf16(manifest.value("path", "")));
        if (host.is_relative()) {
            host = fs::path(*manifestPath).parent_path() / host;
        }
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        HANDLE childIn = nullptr, childOut = nullptr;
        if (!CreatePipe(&childIn, &toHost_, &inherit, 0) ||
            !CreatePipe(&fromHost_, &childOut, &inherit, 0)) {
            ADD_FAILURE() << "CreatePipe failed";
            return;
        }
        SetHandleInformation(toHost_, HANDLE_FLAG_INHERIT, 0);
        SetHandleInformation(fromHost_, HANDLE_FLAG_INHERIT, 0);
        STARTUPINFOW si{};
        si.cb = sizeof si;
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdInput = childIn;
        si.hStdOutput = childOut;
        si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
        // Thunderbird's arguments: the manifest's path and the extension's id.
        std::wstring command = L"\"" + host.wstring() + L"\" \"" + *manifestPath + L"\" " +
                               std::wstring(kExtensionId, kExtensionId + std::strlen(kExtensionId));
        const bool started =
            CreateProcessW(host.c_str(), command.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                           nullptr, host.parent_path().c_str(), &si, &host_) != FALSE;
        CloseHandle(childIn);
        CloseHandle(childOut);
        if (!started) {
            ADD_FAILURE() << "the host did not start: " << GetLastError();
            return;
        }
        reader_ = std::thread([this] { Read(); });
    }

    ~TStandInThunderbird() {
        Quit();
        if (reader_.joinable()) {
            reader_.join();
        }
        if (fromHost_ != nullptr) {
            CloseHandle(fromHost_);
        }
        if (host_.hProcess != nullptr) {
            CloseHandle(host_.hThread);
            CloseHandle(host_.hProcess);
        }
    }

    // Thunderbird quits: the port closes and the host, its work over, ends.
    // True when it did within the deadline.
    bool Quit() {
        {
            const std::lock_guard lock(mutex_);
            if (toHost_ != nullptr) {
                CloseHandle(toHost_);
                toHost_ = nullptr;
            }
        }
        return host_.hProcess == nullptr ||
               WaitForSingleObject(host_.hProcess, 10000) == WAIT_OBJECT_0;
    }

    // "hello" the host said: at its start and for every quorvantel it reached.
    size_t Hellos() {
        const std::lock_guard lock(mutex_);
        return hellos_;
    }

    // Every request from quorvantel, in order, chunks too.
    std::vector<Json> Received() {
        const std::lock_guard lock(mutex_);
        return received_;
    }

    // A compose window opened by the user, which gets the focus.
    int OpenCompose(TCompose fields) {
        const std::lock_guard lock(mutex_);
        const int tab = nextTab_++;
        tabs_[tab] = std::move(fields);
        focus_.push_back(tab);
        return tab;
    }

    std::optional<TCompose> Compose(int tab) {
        const std::lock_guard lock(mutex_);
        const auto it = tabs_.find(tab);
        return it == tabs_.end() ? std::nullopt : std::optional<TCompose>(it->second);
    }

    // The tab that had the focus last, or -1.
    int FocusedTab() {
        const std::lock_guard lock(mutex_);
        return focus_.empty() ? -1 : focus_.back();
    }

    // Before the answer to the next request: frames the host must drop, raw.
    void JunkBeforeNextAnswer(std::vector<std::string> frames) {
        const std::lock_guard lock(mutex_);
        junk_ = std::move(frames);
    }

    // Thunderbird quits on the next request instead of answering it.
    void QuitOnNextRequest() {
        const std::lock_guard lock(mutex_);
        quitOnNext_ = true;
    }

  private:
    void Read() {
        tbwire::TFrameReader reader(tbwire::kToExtensionLimit);
        char buf[65536];
        DWORD n = 0;
        while (ReadFile(fromHost_, buf, sizeof buf, &n, nullptr) && n > 0) {
            reader.Feed(buf, n);
            while (auto e = reader.Next()) {
                if (e->kind != tbwire::TFrameReader::TEvent::Payload) {
                    ADD_FAILURE() << "the host sent " << e->size << " bytes: over 1 MiB";
                    continue;
                }
                // Thunderbird parses what the host says; anything else ends the port.
                const Json message = Json::parse(e->payload, nullptr, false);
                ASSERT_TRUE(message.is_object()) << e->payload;
                OnMessage(message);
            }
        }
    }

    void Send(const std::string& bytes) {
        DWORD n = 0;
        if (toHost_ != nullptr) {
            WriteFile(toHost_, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr);
        }
    }

    void Reply(const Json& message) { Send(tbwire::Frame(message.dump())); }

    // As background.js's onMessage; the lock is held.
    void OnMessage(const Json& msg) {
        const std::lock_guard lock(mutex_);
        if (msg.value("hello", false)) {
            ++hellos_;
            staged_.clear();
            return;
        }
        received_.push_back(msg);
        if (msg.value("chunk", false)) {
            TCompose& parts = staged_[msg["id"].dump()];
            for (const char* f : {"to", "cc", "bcc"}) {
                if (msg.contains(f)) {
                    for (const Json& entry : msg[f]) {
                        Field(parts, f).push_back(entry.get<std::string>());
                    }
                }
            }
            return;
        }
        if (quitOnNext_) {
            quitOnNext_ = false;
            CloseHandle(toHost_);
            toHost_ = nullptr;
            return;
        }
        for (const std::string& frame : junk_) {
            Send(frame);
        }
        junk_.clear();
        Json result;
        try {
            result = Serve(msg);
            result["ok"] = true;
        } catch (const std::pair<std::string, std::string>& error) {
            result = {{"ok", false}, {"error", error.first}, {"message", error.second}};
        }
        result["id"] = msg["id"];
        Reply(result);
    }

    static TEntries& Field(TCompose& c, const std::string& f) {
        return f == "to" ? c.to : f == "cc" ? c.cc : c.bcc;
    }

    // The staged recipients and the message's own, field by field.
    TCompose RecipientsOf(const Json& msg) {
        TCompose out;
        const auto it = staged_.find(msg["id"].dump());
        if (it != staged_.end()) {
            out = it->second;
            staged_.erase(it);
        }
        for (const char* f : {"to", "cc", "bcc"}) {
            if (msg.contains(f) && msg[f].is_array()) {
                for (const Json& entry : msg[f]) {
                    Field(out, f).push_back(entry.get<std::string>());
                }
            }
        }
        return out;
    }

    void Announce(const Json& id, size_t pills) {
        if (pills > 0) {
            Reply({{"id", id}, {"working", pills}});
        }
    }

    TCompose& Tab(const Json& msg) {
        const auto it = msg.contains("tab") && msg["tab"].is_number_integer()
                            ? tabs_.find(msg["tab"].get<int>())
                            : tabs_.end();
        if (it == tabs_.end()) {
            throw std::pair<std::string, std::string>("noTab", "the compose window is closed");
        }
        return it->second;
    }

    static std::string FieldOf(const Json& msg) {
        const std::string f = msg.value("field", "");
        if (f != "to" && f != "cc" && f != "bcc") {
            throw std::pair<std::string, std::string>("badRequest", "unknown field " + f);
        }
        return f;
    }

    Json Serve(const Json& msg) {
        const std::string op = msg.value("op", "");
        if (op == "new") {
            TCompose c = RecipientsOf(msg);
            Announce(msg["id"], c.to.size() + c.cc.size() + c.bcc.size());
            const int tab = nextTab_++;
            tabs_[tab] = std::move(c);
            focus_.push_back(tab);
            return {{"tab", tab}};
        }
        if (op == "active") {
            return {{"tab", focus_.empty() ? Json() : Json(focus_.back())}};
        }
        if (op == "get") {
            const std::string f = FieldOf(msg);
            return {{"entries", Field(Tab(msg), f)}};
        }
        if (op == "set") {
            const std::string f = FieldOf(msg);
            TCompose given = RecipientsOf(msg);
            TEntries list = Field(given, f);
            TEntries& field = Field(Tab(msg), f);
            if (msg.value("append", false)) {
                list.insert(list.begin(), field.begin(), field.end());
            }
            Announce(msg["id"], list.size());
            field = std::move(list);
            return Json::object();
        }
        if (op == "show") {
            Tab(msg);
            focus_.erase(std::remove(focus_.begin(), focus_.end(), msg["tab"].get<int>()),
                         focus_.end());
            focus_.push_back(msg["tab"].get<int>());
            return Json::object();
        }
        throw std::pair<std::string, std::string>("badRequest", "unknown request " + op);
    }

    PROCESS_INFORMATION host_{};
    HANDLE toHost_ = nullptr;
    HANDLE fromHost_ = nullptr;
    std::thread reader_;
    std::mutex mutex_;
    size_t hellos_ = 0;
    std::vector<Json> received_;
    std::map<std::string, TCompose> staged_;
    std::map<int, TCompose> tabs_;
    std::vector<int> focus_;
    int nextTab_ = 1;
    std::vector<std::string> junk_;
    bool quitOnNext_ = false;
};

std::ostream& operator<<(std::ostream& out, const TStandInThunderbird::TCompose& c) {
    return out << "{to " << Json(c.to) << ", cc " << Json(c.cc) << ", bcc " << Json(c.bcc) << "}";
}

// quorvantel.exe serves the pipe and has taken the host's connection: once
// it accepts a host it opens the next instance, which a client can then wait
// for (and nothing connects to it). The host must have said hello twice
// before (at its start, and to this quorvantel).
bool QuorvantelHasTheHost(TStandInThunderbird& thunderbird, size_t hellos) {
    const std::wstring pipe = tbpipe::PipeName();
    return WaitFor([&] { return thunderbird.Hellos() >= hellos; }) &&
           WaitFor([&] { return WaitNamedPipeW(pipe.c_str(), 1) != FALSE; });
}

// ---------------------------------------------------------------------------

class ThunderbirdTest : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        dir_ = Scratch("thunderbird");
        fs::copy_file(kHost, dir_ / "quorvantel-tb-host.exe");
        ASSERT_EQ(RunProgram(dir_ / "quorvantel-tb-host.exe", L"--install"), 0);
    }
    static void TearDownTestSuite() {
        RunProgram(dir_ / "quorvantel-tb-host.exe", L"--uninstall");
        std::error_code ignored;
        fs::remove_all(ScratchRoot(), ignored);
    }

    // The program in the scratch directory with these preferences.
    static void Prefs(const std::vector<std::string>& lines) {
        std::vector<std::string> prefs = {"MailFolder: " + Utf8(dir_ / "mailbox")};
        prefs.insert(prefs.end(), lines.begin(), lines.end());
        WriteBytes(dir_ / "quorvantel.ini", CrLfLines(prefs));
    }

    static fs::path dir_;
};

fs::path ThunderbirdTest::dir_;

constexpr size_t kNodeDevelopment = 3;  // 開発部
// 伊藤 誠 and the group 基盤チーム, bare addresses, each an entry of its own.
const TStandInThunderbird::TEntries kPicked = {
    "makoto.ito@minato-is.example.jp", "aya.yoshida@minato-is.example.jp",
    "ryo.matsumoto@minato-is.example.jp", "shota.kato@minato-is.example.jp",
    "takuya.yamamoto@minato-is.example.jp"};

TStandInThunderbird::TEntries Joined(TStandInThunderbird::TEntries a,
                                     const TStandInThunderbird::TEntries& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// The three buttons into new windows and into the open one, replacing and
// appending, as the stand-in's compose windows hold them afterwards.
TEST_F(ThunderbirdTest, RecipientButtonsIntoNewAndOpenWindows) {
    using TCompose = TStandInThunderbird::TCompose;
    const TCompose old = {{"old-to@example.jp"}, {"old-cc@example.jp"}, {}};
    struct TPress {
        int button;
        int field;
        bool newWindow;
    };
    const TPress presses[] = {
        {IDC_B_TO, 0, false}, {IDC_B_CC, 1, false}, {IDC_B_BCC, 2, false},
        {IDC_B_TO, 0, true},  {IDC_B_CC, 1, true},  {IDC_B_BCC, 2, true},
    };
    for (const bool append : {false, true}) {
        SCOPED_TRACE(append ? "append" : "replace");
        Prefs({"MailAddressOnly: YES", append ? "UseAppendMode: YES" : "UseAppendMode: NO"});
        TProgram program(dir_);
        ASSERT_TRUE(program.Started());
        TStandInThunderbird thunderbird;
        ASSERT_TRUE(QuorvantelHasTheHost(thunderbird, 2));
        const int open = thunderbird.OpenCompose(old);
        program.SelectNode(kNodeDevelopment);
        program.SelectRows({0, 3});

        TCompose expectedOpen = old;
        for (const TPress& press : presses) {
            SCOPED_TRACE(std::to_string(press.field) + (press.newWindow ? " new" : " open"));
            const int radio = press.newWindow ? IDC_RB_NEWWIN : IDC_RB_EXISTWIN;
            Send(program.Recipients(radio), BM_CLICK);
            ASSERT_TRUE(Checked(program.Recipients(radio)));
            const int before = thunderbird.FocusedTab();
            Send(program.Recipients(press.button), BM_CLICK);
            if (press.newWindow) {
                // Each a new window of its own, which has the focus then.
                const int tab = thunderbird.FocusedTab();
                ASSERT_NE(tab, before) << "no new compose window";
                TCompose expected;
                (press.field == 0   ? expected.to
                 : press.field == 1 ? expected.cc
                                    : expected.bcc) = kPicked;
                EXPECT_EQ(thunderbird.Compose(tab), expected);
                continue;
            }
            auto& field = press.field == 0   ? expectedOpen.to
                          : press.field == 1 ? expectedOpen.cc
                                             : expectedOpen.bcc;
            field = append ? Joined(field, kPicked) : kPicked;
            EXPECT_EQ(thunderbird.FocusedTab(), open);
            EXPECT_EQ(thunderbird.Compose(open), expectedOpen);
        }
        // The requests as the extension reads them.
        const std::vector<Json> received = thunderbird.Received();
        ASSERT_FALSE(received.empty());
        EXPECT_EQ(received[0].value("op", ""), "active");
        for (const Json& r : received) {
            EXPECT_TRUE(r["id"].is_number_integer()) << r.dump();
            if (r.value("op", "") == "set") {
                EXPECT_EQ(r.value("append", false), append) << r.dump();
            }
        }
        PostMessageA(program.Main(), WM_CLOSE, 0, 0);
        EXPECT_TRUE(program.EndedCleanly());
    }
}

// A second quorvantel waits while the first serves the pipe and takes the
// host over when the first ends.
TEST_F(ThunderbirdTest, SecondQuorvantelTakesOverWhenTheFirstEnds) {
    Prefs({"MailAddressOnly: YES"});
    TStandInThunderbird thunderbird;
    TProgram first(dir_);
    ASSERT_TRUE(first.Started());
    ASSERT_TRUE(QuorvantelHasTheHost(thunderbird, 2));
    TProgram second(dir_);
    ASSERT_TRUE(second.Started());
    PostMessageA(first.Main(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(first.EndedCleanly());
    ASSERT_TRUE(QuorvantelHasTheHost(thunderbird, 3));

    second.SelectNode(kNodeDevelopment);
    second.SelectRows({0});
    Send(second.Recipients(IDC_RB_NEWWIN), BM_CLICK);
    Send(second.Recipients(IDC_B_CC), BM_CLICK);
    EXPECT_EQ(thunderbird.Compose(thunderbird.FocusedTab()),
              (TStandInThunderbird::TCompose{{}, {kPicked[0]}, {}}));
    PostMessageA(second.Main(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(second.EndedCleanly());
}

// What the host cannot read from Thunderbird (not JSON, over its 64 MiB
// limit) is dropped, and the answer behind it still arrives.
TEST_F(ThunderbirdTest, BadAndOversizedFramesFromThunderbirdAreDropped) {
    Prefs({"MailAddressOnly: YES"});
    TProgram program(dir_);
    ASSERT_TRUE(program.Started());
    TStandInThunderbird thunderbird;
    ASSERT_TRUE(QuorvantelHasTheHost(thunderbird, 2));
    std::string oversized = tbwire::Frame(std::string(tbwire::kFromExtensionLimit + 1, ' '));
    thunderbird.JunkBeforeNextAnswer(
        {tbwire::Frame("{not json"), tbwire::Frame("[1,2]"), std::move(oversized)});
    program.SelectNode(kNodeDevelopment);
    program.SelectRows({0});
    Send(program.Recipients(IDC_RB_NEWWIN), BM_CLICK);
    Send(program.Recipients(IDC_B_TO), BM_CLICK);
    EXPECT_EQ(thunderbird.Compose(thunderbird.FocusedTab()),
              (TStandInThunderbird::TCompose{{kPicked[0]}, {}, {}}));
    PostMessageA(program.Main(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(program.EndedCleanly());
}

// Thunderbird quits in the middle of a request: quorvantel says so, and the
// next press goes to the next mail client (here the fake Outlook).
TEST_F(ThunderbirdTest, ThunderbirdQuittingGivesItsMessageThenTheFallback) {
    RegisterFakeOutlookDll(kFakeDll, true);
    fs::remove(kFakeLog);
    Prefs({"MailAddressOnly: YES"});
    {
        TProgram program(dir_);
        ASSERT_TRUE(program.Started());
        TStandInThunderbird thunderbird;
        ASSERT_TRUE(QuorvantelHasTheHost(thunderbird, 2));
        program.SelectNode(kNodeDevelopment);
        program.SelectRows({0});
        Send(program.Recipients(IDC_RB_NEWWIN), BM_CLICK);
        thunderbird.QuitOnNextRequest();
        {
            TSentAsync press(program.Recipients(IDC_B_TO), BM_CLICK);
            const std::string message = DismissMessageBox(program);
            EXPECT_NE(message.find("Thunderbird との接続が切れました"), std::string::npos)
                << message;
            EXPECT_TRUE(press.Answered());
        }
        EXPECT_TRUE(thunderbird.Quit()) << "the host did not end with Thunderbird";
        EXPECT_TRUE(ProgramCalls(ReadFakeOutlookLog(kFakeLog)).empty());

        Send(program.Recipients(IDC_B_BCC), BM_CLICK);
        const std::vector<TFakeCall> calls = ProgramCalls(ReadFakeOutlookLog(kFakeLog));
        ASSERT_FALSE(calls.empty()) << "the press did not reach Outlook";
        EXPECT_EQ(calls.back(), (TFakeCall{"MailItem#1", "Display", "BOOL false"}));
        PostMessageA(program.Main(), WM_CLOSE, 0, 0);
        EXPECT_TRUE(program.EndedCleanly());
    }
    RegisterFakeOutlookDll(kFakeDll, false);
}

// The pipe's descriptor grants this user alone. Wine runs every process as
// one user, so a process of another user cannot be made to try the pipe; the
// descriptor is what keeps one out, and the check on connect what refuses one.
TEST(ThunderbirdPipe, OnlyThisUserMayOpenIt) {
    const std::wstring name = tbpipe::PipeName("descriptor-test");
    const HANDLE pipe = tbpipe::CreateServerInstance(name, true);
    ASSERT_NE(pipe, INVALID_HANDLE_VALUE);
    // One server at a time: while this thread holds the lock, another is refused.
    tbpipe::TServerLock lock(name);
    ASSERT_TRUE(lock.TryTake());
    const auto otherTakes = [&name] {
        bool took = false;
        std::thread([&] {
            tbpipe::TServerLock other(name);
            took = other.TryTake();
        }).join();
        return took;
    };
    EXPECT_FALSE(otherTakes());
    lock.Release();
    EXPECT_TRUE(otherTakes());

    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_EQ(GetSecurityInfo(pipe, SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                              &dacl, nullptr, &descriptor),
              ERROR_SUCCESS);
    ASSERT_NE(dacl, nullptr);
    ASSERT_EQ(dacl->AceCount, 1);
    ACCESS_ALLOWED_ACE* ace = nullptr;
    ASSERT_TRUE(GetAce(dacl, 0, reinterpret_cast<void**>(&ace)));
    EXPECT_EQ(ace->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
    HANDLE token = nullptr;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
    char user[256];
    DWORD size = sizeof user;
    ASSERT_TRUE(GetTokenInformation(token, TokenUser, user, size, &size));
    CloseHandle(token);
    EXPECT_TRUE(EqualSid(reinterpret_cast<PSID>(&ace->SidStart),
                         reinterpret_cast<TOKEN_USER*>(user)->User.Sid));
    LocalFree(descriptor);

    EXPECT_TRUE(tbpipe::ProcessIsThisUser(GetCurrentProcessId()));
    EXPECT_FALSE(tbpipe::ProcessIsThisUser(0xFFFFFFF0));  // no such process
    CloseHandle(pipe);
}

// --install writes the manifest beside the host and the per-user key;
// --uninstall leaves the registry and the folder as they were, also when
// another program has a host of its own registered.
TEST(ThunderbirdInstall, InstallThenUninstallLeavesEverythingAsItWas) {
    const fs::path dir = Scratch("install");
    const fs::path host = dir / "quorvantel-tb-host.exe";
    fs::copy_file(kHost, host);
    const std::wstring other = std::wstring(kParentKey) + L"\\org.example.other";
    for (const bool otherHost : {false, true}) {
        SCOPED_TRACE(otherHost ? "another host registered" : "nothing registered");
        if (otherHost) {
            HKEY key = nullptr;
            ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, other.c_str(), 0, nullptr, 0,
                                      KEY_SET_VALUE, nullptr, &key, nullptr),
                      ERROR_SUCCESS);
            const wchar_t value[] = L"C:\\other\\org.example.other.json";
            RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                           sizeof value);
            RegCloseKey(key);
        }
        const auto keysBefore = MozillaKeys();
        const auto filesBefore = Listing(dir);
        ASSERT_FALSE(KeyExists(kKey));

        ASSERT_EQ(RunProgram(host, L"--install"), 0);
        const fs::path manifest = dir / "jp.example.quorvantel.json";
        EXPECT_EQ(DefaultValue(kKey), manifest.wstring());
        const Json written = Json::parse(ReadBytes(manifest), nullptr, false);
        EXPECT_EQ(written.value("name", ""), "jp.example.quorvantel");
        EXPECT_EQ(written.value("path", ""), Utf8(host));
        EXPECT_EQ(written.value("type", ""), "stdio");
        EXPECT_EQ(written.value("allowed_extensions", Json()), Json::array({kExtensionId}));

        ASSERT_EQ(RunProgram(host, L"--uninstall"), 0);
        EXPECT_EQ(MozillaKeys(), keysBefore);
        EXPECT_EQ(Listing(dir), filesBefore);
        // Twice is harmless.
        EXPECT_EQ(RunProgram(host, L"--uninstall"), 0);
        if (otherHost) {
            RegDeleteKeyW(HKEY_CURRENT_USER, other.c_str());
            RegDeleteKeyW(HKEY_CURRENT_USER, kParentKey);
            RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Mozilla");
        }
    }
}

}  // namespace
