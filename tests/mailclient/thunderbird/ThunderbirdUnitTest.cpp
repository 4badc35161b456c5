// The Thunderbird bridge without Thunderbird: the recipient entries, the
// frames, the backend against a stand-in host, the real host between a
// stand-in Thunderbird and the backend, and the switching client.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "mailclient/thunderbird/TbRecipients.h"
#include "mailclient/thunderbird/TbWire.h"
#include "mailclient/thunderbird/ThunderbirdMailClient.h"
#include "tests/support/ManualEventLoop.h"
#include "tests/support/StandInHost.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Json = nlohmann::json;

TManualEventLoop& Loop() {
    static TManualEventLoop loop;
    return loop;
}

bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit = 10s) {
    const auto deadline = Clock::now() + limit;
    bool met = false;
    Loop().RunUntil([&] {
        met = condition();
        return met || Clock::now() >= deadline;
    });
    return met;
}

// --- recipient entries ---------------------------------------------------

struct SplitCase {
    const char* what;
    std::string field;
    std::vector<std::string> entries;  // FormatMailbox of each entry
};

TEST(ThunderbirdEntries, OnePersonPerEntry) {
    const std::vector<SplitCase> cases = {
        {"empty", "", {}},
        {"address-book form", "\"a\"<p@example.jp>; ", {"\"a\"<p@example.jp>"}},
        {"bare addresses", "p@x, q@x;r@x", {"p@x", "q@x", "r@x"}},
        {"comma in a name", "\"山田, 太郎\"<y@x>; ", {"\"山田, 太郎\"<y@x>"}},
        {"semicolon in a name", "\"c;d\"<s@x>; q@x", {"\"c;d\"<s@x>", "q@x"}},
        {"quotes in a name (address book)", "\"say \"hi\"\"<h@x>; ", {"\"say \\\"hi\\\"\"<h@x>"}},
        {"angle bracket in a name", "\"x <y\"<l@x>", {"\"x <y\"<l@x>"}},
        {"backslash in a name", "\"g\\h\"<b@x>", {"\"g\\\\h\"<b@x>"}},
        {"backslash ending a name", "\"g\\\"<b@x>; q@x", {"\"g\\\\\"<b@x>", "q@x"}},
        {"unquoted name", "Taro Yamada <t@x>, q@x", {"\"Taro Yamada\"<t@x>", "q@x"}},
        {"several addresses of one card", "\"n\"<a@x;b@x>", {"\"n\"<a@x>", "\"n\"<b@x>"}},
        {"line break in a name", "\"a\nb\"<p@x>", {"\"a b\"<p@x>"}},
    };
    for (const SplitCase& c : cases) {
        EXPECT_EQ(ThunderbirdEntries(c.field), c.entries) << c.what;
    }
}

// --- frames --------------------------------------------------------------

std::vector<std::string> Drain(tbwire::TFrameReader& r) {
    std::vector<std::string> out;
    while (auto e = r.Next()) {
        out.push_back(e->kind == tbwire::TFrameReader::TEvent::Payload
                          ? e->payload
                          : "oversized " + std::to_string(e->size));
    }
    return out;
}

TEST(ThunderbirdFrames, ByteByByteOversizedAndTruncated) {
    const std::string stream = tbwire::Frame("{\"a\":1}") + tbwire::Frame(std::string(40, 'x')) +
                               tbwire::Frame("[]") + tbwire::Frame("{\"b\":1}").substr(0, 7);
    for (const size_t step : {size_t{1}, size_t{3}, size_t{7}, stream.size()}) {
        tbwire::TFrameReader reader(16);
        std::vector<std::string> got;
        for (size_t i = 0; i < stream.size(); i += step) {
            reader.Feed(stream.data() + i, std::min(step, stream.size() - i));
            for (std::string& s : Drain(reader)) {
                got.push_back(std::move(s));
            }
        }
        EXPECT_EQ(got, (std::vector<std::string>{"{\"a\":1}", "oversized 40", "[]"}))
            << "step " << step;
        EXPECT_TRUE(reader.MidFrame()) << "the last frame is cut short";
    }
}

TEST(ThunderbirdSocket, PrivateDirectoryOnly) {
    const fs::path dir = fs::temp_directory_path() / ("qv-tb-dir-" + std::to_string(getpid()));
    fs::remove_all(dir);
    EXPECT_FALSE(tbwire::PreparePrivateDirectory(dir.string()));
    struct stat st {};
    ASSERT_EQ(stat(dir.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    chmod(dir.c_str(), 0755);
    EXPECT_FALSE(tbwire::PreparePrivateDirectory(dir.string())) << "closed again";
    ASSERT_EQ(stat(dir.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    const fs::path link = dir.string() + "-link";
    fs::remove(link);
    fs::create_directory_symlink(dir, link);
    EXPECT_TRUE(tbwire::PreparePrivateDirectory(link.string())) << "a link is refused";
    fs::remove(link);
    fs::remove_all(dir);
}

// --- the backend against a stand-in host ----------------------------------

class ThunderbirdBackend : public testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("qv-tb-" + std::to_string(getpid()) + "-" +
                testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        options_.directory = dir_.string();
        options_.replyTimeout = 2s;
        options_.takeOverInterval = 100ms;
        // The real host takes its session from the environment, as we do.
        options_.session = tbwire::SessionKey();
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string Path() const { return tbwire::SocketPath(dir_.string(), options_.session); }

    fs::path dir_;
    TThunderbirdMailClient::TOptions options_;
};

// Answers like the extension: one open compose window, tab 7.
std::optional<Json> Extension(const Json& r) {
    if (r.contains("chunk")) {
        return std::nullopt;
    }
    Json reply = {{"id", r["id"]}, {"ok", true}};
    if (r["op"] == "active") {
        reply["tab"] = 7;
    } else if (r["op"] == "get") {
        reply["entries"] = {"\"山田, 太郎\" <y@x>", "q@x"};
    } else if (r["op"] == "new") {
        reply["tab"] = 8;
    }
    return reply;
}

TEST_F(ThunderbirdBackend, ReachFollowsTheHostsConnection) {
    TThunderbirdMailClient client(Loop(), options_);
    int changes = 0;
    client.SetReachChangedCallback([&] { ++changes; });
    EXPECT_TRUE(client.ServesSocket());
    EXPECT_FALSE(client.CanReachOpenItems());
    EXPECT_EQ(client.ActiveItem(), nullptr) << "nothing reachable, no item, no error";
    struct stat st {};
    ASSERT_EQ(stat(Path().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    {
        TStandInHost host(Path(), Extension);
        ASSERT_TRUE(host.Connected());
        ASSERT_TRUE(WaitFor([&] { return client.CanReachOpenItems(); }));
        EXPECT_EQ(changes, 1);
        auto item = client.ActiveItem();
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(item->GetField(TMailField::CC), u"\"山田, 太郎\" <y@x>; q@x");
        item->SetField(TMailField::BCC, u"old@x; \"a;b\"<n@x>");
        item->Display();
        host.Close();
        ASSERT_EQ(host.Received.size(), 4u);
        EXPECT_EQ(host.Received[2]["op"], "set");
        EXPECT_EQ(host.Received[2]["tab"], 7);
        EXPECT_EQ(host.Received[2]["field"], "bcc");
        EXPECT_EQ(host.Received[2]["bcc"], Json({"old@x", "\"a;b\"<n@x>"}));
        EXPECT_EQ(host.Received[3]["op"], "show");
    }
    EXPECT_TRUE(WaitFor([&] { return !client.CanReachOpenItems(); }));
    EXPECT_EQ(changes, 2);
}

// A process of another user: the private directory keeps it out; with the
// directory opened up, the peer check still refuses it.
TEST_F(ThunderbirdBackend, PeerOfAnotherUserIsRefused) {
    if (getuid() != 0) {
        GTEST_SKIP() << "needs root to run a process as another user";
    }
    TThunderbirdMailClient client(Loop(), options_);
    ASSERT_TRUE(client.ServesSocket());
    // The child connects as nobody and says hello; its exit status: 0 when the
    // connection was closed on it, 2 when it stayed open, 3 when it could not
    // connect at all, 4 when it could not become nobody.
    const auto tryAsNobody = [&] {
        const std::string path = Path();
        const std::string hello = tbwire::Frame(R"({"hello":true})");
        const pid_t child = fork();
        if (child == 0) {
            if (setgid(65534) != 0 || setuid(65534) != 0) {
                _exit(4);
            }
            const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
            sockaddr_un addr{};
            addr.sun_family = AF_UNIX;
            std::strncpy(addr.sun_path, path.c_str(), sizeof addr.sun_path - 1);
            if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
                _exit(3);
            }
            if (write(fd, hello.data(), hello.size()) < 0) {
                _exit(0);
            }
            pollfd p{fd, POLLIN, 0};
            char c;
            _exit(poll(&p, 1, 5000) == 1 && read(fd, &c, 1) <= 0 ? 0 : 2);
        }
        int status = -1;
        EXPECT_TRUE(WaitFor([&] { return waitpid(child, &status, WNOHANG) == child; }, 10s));
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    EXPECT_EQ(tryAsNobody(), 3) << "the directory let another user in";
    chmod(dir_.c_str(), 0777);
    chmod(Path().c_str(), 0777);
    EXPECT_EQ(tryAsNobody(), 0) << "another user's connection was kept";
    EXPECT_FALSE(client.CanReachOpenItems());
}

TEST_F(ThunderbirdBackend, NewItemOpensOnceWithAllFields) {
    TThunderbirdMailClient client(Loop(), options_);
    TStandInHost host(Path(), Extension);
    ASSERT_TRUE(WaitFor([&] { return client.CanReachOpenItems(); }));
    auto item = client.CreateItem();
    item->SetField(TMailField::To, u"\"a\"<a@x>; ");
    EXPECT_EQ(item->GetField(TMailField::To), u"\"a\"<a@x>; ") << "a draft until shown";
    item->SetField(TMailField::CC, u"c@x");
    item->Display();
    item->Display();
    host.Close();
    ASSERT_EQ(host.Received.size(), 2u);
    EXPECT_EQ(host.Received[0]["op"], "new");
    EXPECT_EQ(host.Received[0]["to"], Json({"\"a\"<a@x>"}));
    EXPECT_EQ(host.Received[0]["cc"], Json({"c@x"}));
    EXPECT_EQ(host.Received[0]["bcc"], Json::array());
    EXPECT_EQ(host.Received[1], Json({{"id", host.Received[1]["id"]}, {"op", "show"}, {"tab", 8}}));
}

TEST_F(ThunderbirdBackend, LongListsArriveWholeInMessagesUnderOneMebibyte) {
    TThunderbirdMailClient client(Loop(), options_);
    TStandInHost host(Path(), Extension);
    ASSERT_TRUE(WaitFor([&] { return client.CanReachOpenItems(); }));
    std::u16string field;
    std::vector<std::string> want;
    for (int i = 0; i < 50000; ++i) {
        const std::string n = std::to_string(i);
        field += u"\"受信者" + std::u16string(n.begin(), n.end()) + u"\"<r" +
                 std::u16string(n.begin(), n.end()) + u"@example.jp>; ";
        want.push_back("\"受信者" + n + "\"<r" + n + "@example.jp>");
    }
    client.ActiveItem()->SetField(TMailField::To, field);
    host.Close();
    EXPECT_LE(host.LargestFrame, tbwire::kToExtensionLimit);
    std::vector<std::string> got;
    int64_t id = -1;
    size_t chunks = 0;
    for (const Json& m : host.Received) {
        if (m.value("op", "") == "active") {
            continue;
        }
        if (id < 0) {
            id = m["id"];
        }
        EXPECT_EQ(m["id"], id) << "every piece names its request";
        chunks += m.contains("chunk");
        for (const Json& e : m["to"]) {
            got.push_back(e);
        }
    }
    EXPECT_GE(chunks, 2u);
    EXPECT_EQ(host.Received.back().value("op", ""), "set") << "the request itself comes last";
    EXPECT_EQ(got, want);
}

TEST_F(ThunderbirdBackend, FailuresAreClearErrorsAndLeaveTheClientUsable) {
    TThunderbirdMailClient client(Loop(), options_);
    bool answer = true;
    TStandInHost host(Path(), [&](const Json& r) -> std::optional<Json> {
        if (!answer) {
            return std::nullopt;
        }
        if (r["op"] == "set") {
            return Json{{"id", r["id"]}, {"ok", false}, {"error", "noTab"}, {"message", "gone"}};
        }
        if (r["op"] == "get") {
            return Json{{"id", r["id"]}, {"ok", false}, {"error", "failed"}, {"message", "boom"}};
        }
        return Extension(r);
    });
    ASSERT_TRUE(WaitFor([&] { return client.CanReachOpenItems(); }));
    auto item = client.ActiveItem();
    ASSERT_NE(item, nullptr);
    const auto message = [&](const std::function<void()>& f) {
        try {
            f();
        } catch (const EThunderbirdError& e) {
            return std::string(e.what());
        }
        return std::string("no error");
    };
    EXPECT_EQ(message([&] { item->SetField(TMailField::To, u"a@x"); }),
              "メールの作成ウインドウが閉じられました");
    EXPECT_EQ(message([&] { item->GetField(TMailField::To); }),
              "Thunderbird が要求を処理できませんでした: boom");
    answer = false;
    const auto start = Clock::now();
    EXPECT_EQ(message([&] { item->Display(); }), "Thunderbird が 2 秒以内に応答しませんでした");
    EXPECT_LT(Clock::now() - start, 4s);
    answer = true;
    EXPECT_NE(client.ActiveItem(), nullptr) << "a late answer does not confuse the next one";
}

TEST_F(ThunderbirdBackend, HostGoneMidRequest) {
    TThunderbirdMailClient client(Loop(), options_);
    int changes = 0;
    client.SetReachChangedCallback([&] { ++changes; });
    auto host = std::make_unique<TStandInHost>(Path(), Extension);
    ASSERT_TRUE(WaitFor([&] { return client.CanReachOpenItems(); }));
    auto item = client.ActiveItem();
    host->Close();
    try {
        item->SetField(TMailField::To, u"a@x");
        FAIL() << "no error";
    } catch (const EThunderbirdError& e) {
        EXPECT_STREQ(e.what(),
                     "Thunderbird との接続が切れました。Thunderbird が終了した可能性があります");
    }
    EXPECT_FALSE(client.CanReachOpenItems());
    EXPECT_EQ(changes, 2);
    host = std::make_unique<TStandInHost>(Path(), Extension);
    ASSERT_TRUE(WaitFor([&] { return client.CanReachOpenItems(); })) << "Thunderbird back";
    EXPECT_NE(client.ActiveItem(), nullptr);
}

TEST_F(ThunderbirdBackend, FirstQuorvantelKeepsTheSocketTheNextTakesOver) {
    auto first = std::make_unique<TThunderbirdMailClient>(Loop(), options_);
    TThunderbirdMailClient second(Loop(), options_);
    EXPECT_TRUE(first->ServesSocket());
    EXPECT_FALSE(second.ServesSocket());
    {
        TStandInHost host(Path(), Extension);
        ASSERT_TRUE(WaitFor([&] { return first->CanReachOpenItems(); }));
        EXPECT_FALSE(second.CanReachOpenItems());
    }
    first.reset();
    ASSERT_TRUE(WaitFor([&] { return second.ServesSocket(); }));
    TStandInHost host(Path(), Extension);
    ASSERT_TRUE(WaitFor([&] { return second.CanReachOpenItems(); }));
}

// Thunderbird says how many pills it is making: the wait follows that, and
// the next request, which finds it still laying them out, waits as long.
TEST_F(ThunderbirdBackend, WaitFollowsWhatThunderbirdIsDoing) {
    options_.replyTimeout = 300ms;
    options_.perRecipient = 1ms;
    TThunderbirdMailClient client(Loop(), options_);
    TStandInHost host(Path(), Extension);
    ASSERT_TRUE(WaitFor([&] { return client.CanReachOpenItems(); }));
    auto item = client.ActiveItem();
    ASSERT_NE(item, nullptr);
    const auto answerAfter = [&](const std::string& op, std::chrono::milliseconds delay) {
        host.Hold(op);
        return Loop().CallAfter(delay, [&] { host.Release(); });
    };
    {
        host.Announce(1000);  // one second's worth of pills
        const auto release = answerAfter("set", 800ms);
        EXPECT_NO_THROW(item->AppendToField(TMailField::To, u"a@x"));
    }
    {
        host.Announce(0);
        const auto release = answerAfter("show", 700ms);
        EXPECT_NO_THROW(item->Display()) << "Thunderbird still lays out the last pills";
    }
    host.Hold("show");
    try {
        item->Display();
        FAIL() << "no time-out";
    } catch (const EThunderbirdError& e) {
        EXPECT_STREQ(e.what(), "Thunderbird が 1 秒以内に応答しませんでした");
    }
    host.Release();
    host.Close();
    ASSERT_GE(host.Received.size(), 3u);
    EXPECT_EQ(host.Received[1]["op"], "set");
    EXPECT_EQ(host.Received[1]["append"], true);
    EXPECT_EQ(host.Received[1]["to"], Json({"a@x"}));
}

TEST_F(ThunderbirdBackend, CancelStopsWaitingAndTheLateAnswerIsDropped) {
    TThunderbirdMailClient client(Loop(), options_);
    TStandInHost host(Path(), Extension);
    ASSERT_TRUE(WaitFor([&] { return client.CanReachOpenItems(); }));
    auto item = client.ActiveItem();
    ASSERT_NE(item, nullptr);
    host.Hold("set");
    const auto cancel = Loop().CallAfter(100ms, [&] { client.CancelWait(); });
    try {
        item->SetField(TMailField::CC, u"c@x");
        FAIL() << "not cancelled";
    } catch (const EHandOffCancelled& e) {
        EXPECT_STREQ(
            e.what(),
            "受け渡しを中止しました。Thunderbird は渡された宛先をこのあと書き込むことがあります");
    }
    host.Release();
    EXPECT_TRUE(client.CanReachOpenItems());
    auto again = client.ActiveItem();
    ASSERT_NE(again, nullptr) << "the answer to the cancelled request was taken for this one";
    EXPECT_NO_THROW(again->Display());
}

// One user, two display sessions: each quorvantel has a socket of its own.
TEST_F(ThunderbirdBackend, EachDisplaySessionHasItsOwnSocket) {
    struct Case {
        const char* display;
        const char* wayland;
        std::string key;
    };
    const Case cases[] = {
        {":0", nullptr, "x_3a0"},
        {":0.0", nullptr, "x_3a0"},
        {":1", nullptr, "x_3a1"},
        {"localhost:10.0", nullptr, "xlocalhost_3a10"},
        {":0", "wayland-0", "x_3a0wwayland-0"},
        {nullptr, "wayland-1", "wwayland-1"},
        {nullptr, nullptr, "none"},
    };
    const char* oldDisplay = std::getenv("DISPLAY");
    const char* oldWayland = std::getenv("WAYLAND_DISPLAY");
    const std::string keepDisplay = oldDisplay ? oldDisplay : "";
    const std::string keepWayland = oldWayland ? oldWayland : "";
    const auto set = [](const char* name, const char* value) {
        value ? setenv(name, value, 1) : unsetenv(name);
    };
    for (const Case& c : cases) {
        set("DISPLAY", c.display);
        set("WAYLAND_DISPLAY", c.wayland);
        EXPECT_EQ(tbwire::SessionKey(), c.key) << (c.display ? c.display : "-");
    }
    set("DISPLAY", std::string(200, '9').c_str());
    EXPECT_LE(tbwire::SessionKey().size(), 17u) << "too long for a socket path";
    set("DISPLAY", oldDisplay ? keepDisplay.c_str() : nullptr);
    set("WAYLAND_DISPLAY", oldWayland ? keepWayland.c_str() : nullptr);

    options_.session = "x_3a0";
    TThunderbirdMailClient first(Loop(), options_);
    options_.session = "x_3a1";
    TThunderbirdMailClient second(Loop(), options_);
    EXPECT_TRUE(first.ServesSocket());
    EXPECT_TRUE(second.ServesSocket()) << "the other session's quorvantel keeps it out";
    TStandInHost host(tbwire::SocketPath(dir_.string(), "x_3a1"), Extension);
    ASSERT_TRUE(WaitFor([&] { return second.CanReachOpenItems(); }));
    EXPECT_FALSE(first.CanReachOpenItems());
}

// --- the real host between a stand-in Thunderbird and the backend ---------

class TRunningHost {
  public:
    explicit TRunningHost(const fs::path& runtimeDir) {
        int in[2], out[2];
        EXPECT_EQ(pipe2(in, O_CLOEXEC), 0);
        EXPECT_EQ(pipe2(out, O_CLOEXEC), 0);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in[0], 0);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        std::vector<std::string> env = {"XDG_RUNTIME_DIR=" + runtimeDir.string()};
        for (char** e = environ; *e != nullptr; ++e) {
            if (std::strncmp(*e, "XDG_RUNTIME_DIR=", 16) != 0 &&
                std::strncmp(*e, "QUORVANTEL_TB_TEST=", 19) != 0) {
                env.push_back(*e);
            }
        }
        std::vector<char*> envp;
        for (std::string& e : env) {
            envp.push_back(e.data());
        }
        envp.push_back(nullptr);
        char* argv[] = {const_cast<char*>(QUORVANTEL_TB_HOST), nullptr};
        EXPECT_EQ(posix_spawn(&pid_, argv[0], &actions, nullptr, argv, envp.data()), 0);
        posix_spawn_file_actions_destroy(&actions);
        close(in[0]);
        close(out[1]);
        toHost_ = in[1];
        fromHost_ = out[0];
        fcntl(fromHost_, F_SETFL, O_NONBLOCK);
    }
    ~TRunningHost() {
        if (toHost_ >= 0) {
            close(toHost_);
        }
        if (pid_ > 0) {
            WaitFor([&] { return waitpid(pid_, nullptr, WNOHANG) == pid_; }, 10s);
        }
        close(fromHost_);
    }

    void Send(std::string_view bytes) {
        ASSERT_TRUE(tbwire::WriteAll(toHost_, bytes, Clock::now() + 5s));
    }
    // The next message the host hands to Thunderbird (no Qt: also called
    // from the stand-in extension's thread).
    std::optional<Json> Next() {
        const auto deadline = Clock::now() + 10s;
        for (;;) {
            if (auto e = reader_.Next()) {
                return Json::parse(e->payload);
            }
            char buf[65536];
            const long n = tbwire::ReadSome(fromHost_, buf, sizeof buf, deadline);
            if (n <= 0) {
                return std::nullopt;
            }
            reader_.Feed(buf, static_cast<size_t>(n));
        }
    }
    // The host ends when Thunderbird closes its side.
    bool EndsWhenThunderbirdCloses() {
        close(toHost_);
        toHost_ = -1;
        const bool ended = WaitFor([&] { return waitpid(pid_, nullptr, WNOHANG) == pid_; }, 10s);
        pid_ = -1;
        return ended;
    }

  private:
    pid_t pid_ = -1;
    int toHost_ = -1, fromHost_ = -1;
    tbwire::TFrameReader reader_{tbwire::kFromExtensionLimit};
};

TEST_F(ThunderbirdBackend, HostRelaysAndSurvivesBadMessagesFromEitherSide) {
    fs::create_directories(dir_);
    fs::permissions(dir_, fs::perms::owner_all);
    TRunningHost host(dir_);
    // Started before quorvantel: it says hello and keeps trying to connect.
    const auto hello = host.Next();
    ASSERT_TRUE(hello);
    EXPECT_EQ(*hello, Json({{"hello", true}}));
    options_.directory = (dir_ / "quorvantel").string();
    TThunderbirdMailClient client(Loop(), options_);
    ASSERT_TRUE(WaitFor([&] { return client.CanReachOpenItems(); }));
    const auto again = host.Next();
    ASSERT_TRUE(again);
    EXPECT_EQ(*again, Json({{"hello", true}})) << "told again for every quorvantel";

    // Thunderbird's side: bad JSON and an oversized frame are dropped, the
    // answer after them still arrives.
    std::thread extension([&] {
        const auto request = host.Next();
        ASSERT_TRUE(request);
        std::string junk = tbwire::Frame("{not json");
        const uint32_t huge = static_cast<uint32_t>(tbwire::kFromExtensionLimit + 1);
        junk += std::string(reinterpret_cast<const char*>(&huge), 4);
        junk += std::string(huge, ' ');
        junk += tbwire::Frame(Json{{"id", (*request)["id"]}, {"ok", true}, {"tab", 3}}.dump());
        host.Send(junk);
    });
    auto item = client.ActiveItem();
    extension.join();
    EXPECT_NE(item, nullptr);

    // A recipient too long for any message is refused before anything is
    // sent: Thunderbird never sees half of that request.
    Json big = {{"op", "set"}, {"tab", 3}, {"field", "to"}, {"to", Json::array()}};
    big["to"].push_back("short@example.jp");
    big["to"].push_back(std::string(tbwire::kToExtensionLimit, 'a'));
    try {
        client.Request(big);
        FAIL() << "no error";
    } catch (const EThunderbirdError& e) {
        EXPECT_STREQ(e.what(), "Thunderbird に渡すには長すぎる宛先があります");
    }
    std::thread extension2([&] {
        const auto request = host.Next();
        ASSERT_TRUE(request);
        EXPECT_EQ((*request)["op"], "active");
        host.Send(
            tbwire::Frame(Json{{"id", (*request)["id"]}, {"ok", true}, {"tab", nullptr}}.dump()));
    });
    EXPECT_EQ(client.ActiveItem(), nullptr);
    extension2.join();
    EXPECT_TRUE(host.EndsWhenThunderbirdCloses());
    EXPECT_TRUE(WaitFor([&] { return !client.CanReachOpenItems(); }));
}

}  // namespace

int main(int argc, char** argv) {
    signal(SIGPIPE, SIG_IGN);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
