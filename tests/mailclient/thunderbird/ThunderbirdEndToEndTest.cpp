// The Thunderbird backend against the real Thunderbird: a throw-away profile
// and home, our extension side-loaded, our host started by Thunderbird. Run
// under Xvfb. Every wait has a deadline; nothing sleeps for a fixed time.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QTimer>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <string>
#include <vector>

#include "core/TextUtf.h"
#include "mailclient/BridgedMailClient.h"
#include "mailclient/DesktopMailClient.h"
#include "mailclient/thunderbird/TbRecipients.h"
#include "mailclient/thunderbird/ThunderbirdMailClient.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Json = nlohmann::json;

// Thunderbird's first start on a fresh machine can take long.
constexpr auto kStartDeadline = 120s;
constexpr auto kDeadline = 30s;

bool WaitFor(const std::function<bool()>& condition, std::chrono::seconds limit) {
    const auto deadline = Clock::now() + limit;
    QTimer tick;
    tick.start(50);
    while (!condition()) {
        if (Clock::now() >= deadline) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return true;
}

void WriteFile(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

pid_t Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv,
            const fs::path& log) {
    std::vector<std::string> env(extraEnv);
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry = *e;
        const std::string key = entry.substr(0, entry.find('=') + 1);
        bool overridden = false;
        for (const std::string& x : extraEnv) {
            overridden = overridden || x.rfind(key, 0) == 0;
        }
        if (!overridden) {
            env.push_back(entry);
        }
    }
    std::vector<char*> args, envp;
    for (const std::string& a : argv) {
        args.push_back(const_cast<char*>(a.c_str()));
    }
    args.push_back(nullptr);
    for (const std::string& e : env) {
        envp.push_back(const_cast<char*>(e.c_str()));
    }
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attr, 0);
    pid_t pid = -1;
    if (posix_spawnp(&pid, args[0], &actions, &attr, args.data(), envp.data()) != 0) {
        pid = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    return pid;
}

// Waits for a child we started; false at the deadline.
bool Reap(pid_t pid, std::chrono::seconds limit) {
    return WaitFor([pid] { return waitpid(pid, nullptr, WNOHANG) == pid; }, limit);
}

// A recipient as Thunderbird reads it back.
struct TExpected {
    std::string name, address;
    bool operator==(const TExpected&) const = default;
};

std::ostream& operator<<(std::ostream& os, const TExpected& e) {
    return os << "[" << e.name << "|" << e.address << "]";
}

std::vector<TExpected> Parsed(const Json& entries) {
    std::vector<TExpected> out;
    for (const Json& e : entries) {
        const std::vector<TMailbox> boxes = SplitMailboxes(e.get<std::string>());
        EXPECT_EQ(boxes.size(), 1u)
            << "Thunderbird's entry " << e << " reads as " << boxes.size() << " recipients";
        for (const TMailbox& m : boxes) {
            out.push_back({m.name, m.address});
        }
    }
    return out;
}

std::vector<TExpected> People(const std::string& prefix, int count) {
    std::vector<TExpected> out;
    for (int i = 0; i < count; ++i) {
        const std::string n = std::to_string(i);
        out.push_back({prefix + n, prefix + n + "@example.jp"});
    }
    return out;
}

// The field text the address book makes of these people: "name"<address>; ...
std::u16string FieldText(const std::vector<TExpected>& people) {
    std::string text;
    for (const TExpected& p : people) {
        text += "\"" + p.name + "\"<" + p.address + ">; ";
    }
    return Utf8ToUtf16(text);
}

std::vector<TExpected> Joined(std::vector<TExpected> a, const std::vector<TExpected>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

class ThunderbirdEndToEnd : public testing::Test {
  protected:
    static inline fs::path root_;
    static inline pid_t thunderbird_ = -1;
    static inline TThunderbirdMailClient* tb_ = nullptr;
    static inline std::unique_ptr<TBridgedMailClient> client_;
    static inline std::vector<std::string> opened_;  // mailto URLs of the stand-in
    static inline int reachChanges_ = 0;

    static void MakeClient() {
        auto tb = std::make_unique<TThunderbirdMailClient>(
            TThunderbirdMailClient::TOptions{.replyTimeout = 10s,
                                             .takeOverInterval = 2s,
                                             .directory = (root_ / "run" / "quorvantel").string()});
        tb_ = tb.get();
        client_ = std::make_unique<TBridgedMailClient>(
            std::move(tb), std::make_unique<TDesktopMailClient>([](const std::string& url) {
                opened_.push_back(url);
                return true;
            }));
        client_->SetReachChangedCallback([] { ++reachChanges_; });
    }

    static void SetUpTestSuite() {
        root_ = fs::temp_directory_path() / ("quorvantel-tb-e2e-" + std::to_string(getpid()));
        fs::remove_all(root_);
        const fs::path home = root_ / "home", profile = root_ / "profile", run = root_ / "run";
        fs::create_directories(run);
        fs::permissions(run, fs::perms::owner_all);
        WriteFile(home / ".mozilla/native-messaging-hosts/jp.example.quorvantel.json",
                  Json{{"name", "jp.example.quorvantel"},
                       {"description", "quorvantel test host"},
                       {"path", QUORVANTEL_TB_HOST},
                       {"type", "stdio"},
                       {"allowed_extensions", {"quorvantel@example.jp"}}}
                      .dump(2));
        fs::create_directories(profile / "extensions");
        fs::copy_file(QUORVANTEL_TB_XPI, profile / "extensions/quorvantel@example.jp.xpi");
        WriteFile(profile / "user.js", R"(
user_pref("mail.account.account1.identities", "id1");
user_pref("mail.account.account1.server", "server1");
user_pref("mail.account.account2.server", "server2");
user_pref("mail.accountmanager.accounts", "account1,account2");
user_pref("mail.accountmanager.defaultaccount", "account1");
user_pref("mail.accountmanager.localfoldersserver", "server2");
user_pref("mail.identity.id1.fullName", "テスト");
user_pref("mail.identity.id1.useremail", "tester@example.jp");
user_pref("mail.identity.id1.smtpServer", "smtp1");
user_pref("mail.identity.id1.valid", true);
user_pref("mail.identity.id1.compose_html", false);
user_pref("mail.server.server1.type", "pop3");
user_pref("mail.server.server1.hostname", "127.0.0.1");
user_pref("mail.server.server1.port", 9);
user_pref("mail.server.server1.userName", "tester");
user_pref("mail.server.server1.name", "tester@example.jp");
user_pref("mail.server.server1.login_at_startup", false);
user_pref("mail.server.server1.check_new_mail", false);
user_pref("mail.server.server1.directory-rel", "[ProfD]Mail/127.0.0.1");
user_pref("mail.server.server2.type", "none");
user_pref("mail.server.server2.hostname", "Local Folders");
user_pref("mail.server.server2.name", "Local Folders");
user_pref("mail.server.server2.userName", "nobody");
user_pref("mail.server.server2.directory-rel", "[ProfD]Mail/Local Folders");
user_pref("mail.smtpservers", "smtp1");
user_pref("mail.smtp.defaultserver", "smtp1");
user_pref("mail.smtpserver.smtp1.hostname", "127.0.0.1");
user_pref("mail.smtpserver.smtp1.port", 9);
user_pref("mail.provider.enabled", false);
user_pref("mail.shell.checkDefaultClient", false);
user_pref("mailnews.start_page.enabled", false);
user_pref("mail.rights.version", 1);
user_pref("mail.spotlight.firstRunDone", true);
user_pref("mail.compose.warn_public_recipients.threshold", 1000000);
user_pref("mail.compose.attachment_reminder", false);
user_pref("mail.spellcheck.inline", false);
user_pref("mail.biff.play_sound", false);
user_pref("mail.biff.show_alert", false);
user_pref("extensions.autoDisableScopes", 0);
user_pref("extensions.enabledScopes", 15);
user_pref("xpinstall.signatures.required", false);
user_pref("extensions.update.enabled", false);
user_pref("app.update.disabledForTesting", true);
user_pref("datareporting.policy.dataSubmissionEnabled", false);
user_pref("toolkit.telemetry.reportingpolicy.firstRun", false);
user_pref("browser.shell.checkDefaultBrowser", false);
user_pref("toolkit.startup.max_resumed_crashes", -1);
user_pref("browser.sessionstore.resume_from_crash", false);
user_pref("network.proxy.type", 0);
)");
        MakeClient();
        ASSERT_TRUE(tb_->ServesSocket());
        thunderbird_ = Spawn(
            {QUORVANTEL_THUNDERBIRD, "-profile", profile.string(), "-no-remote"},
            {"HOME=" + home.string(), "XDG_RUNTIME_DIR=" + run.string(), "QUORVANTEL_TB_TEST=1",
             "MOZ_CRASHREPORTER_DISABLE=1", "XDG_CONFIG_HOME=" + (home / ".config").string(),
             "XDG_CACHE_HOME=" + (home / ".cache").string()},
            root_ / "thunderbird.log");
        ASSERT_GT(thunderbird_, 0) << "cannot start " << QUORVANTEL_THUNDERBIRD;
        const auto start = Clock::now();
        ASSERT_TRUE(WaitFor([] { return client_->CanReachOpenItems(); }, kStartDeadline))
            << "the extension did not connect; see " << (root_ / "thunderbird.log");
        std::cout
            << "[ info ] extension connected after "
            << std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count()
            << " ms\n";
    }

    static void TearDownTestSuite() {
        client_.reset();
        if (thunderbird_ > 0 && waitpid(thunderbird_, nullptr, WNOHANG) == 0) {
            kill(-thunderbird_, SIGTERM);
            if (!Reap(thunderbird_, 30s)) {
                kill(-thunderbird_, SIGKILL);
                waitpid(thunderbird_, nullptr, 0);
            }
        }
        if (std::getenv("QUORVANTEL_TB_KEEP") == nullptr) {
            fs::remove_all(root_);
        }
    }

    void SetUp() override {
        if (!client_ || !client_->CanReachOpenItems()) {
            GTEST_SKIP() << "Thunderbird is not connected";
        }
    }

    static Json Details(int64_t tab) { return tb_->Request({{"op", "details"}, {"tab", tab}}); }

    static int64_t ActiveTab() {
        const Json reply = tb_->Request({{"op", "active"}});
        return reply["tab"].is_number_integer() ? reply["tab"].get<int64_t>() : -1;
    }

    // A compose window opened through the extension with these recipients.
    static int64_t OpenCompose(const std::vector<TExpected>& to, const std::vector<TExpected>& cc,
                               const std::vector<TExpected>& bcc) {
        Json request = {{"op", "new"}};
        const std::pair<const char*, const std::vector<TExpected>*> fields[] = {
            {"to", &to}, {"cc", &cc}, {"bcc", &bcc}};
        for (const auto& [name, people] : fields) {
            request[name] = ThunderbirdEntries(Utf16ToUtf8(FieldText(*people)));
        }
        return tb_->Request(request)["tab"].get<int64_t>();
    }

    static void ExpectFields(int64_t tab, const std::vector<TExpected>& to,
                             const std::vector<TExpected>& cc, const std::vector<TExpected>& bcc) {
        const Json d = Details(tab);
        EXPECT_EQ(Parsed(d["to"]), to);
        EXPECT_EQ(Parsed(d["cc"]), cc);
        EXPECT_EQ(Parsed(d["bcc"]), bcc);
    }

    static void CloseCompose(int64_t tab) { tb_->Request({{"op", "close"}, {"tab", tab}}); }

    static void WriteLikeTheWindow(TMailItem& item, TMailField field, const std::u16string& text,
                                   bool append) {
        std::u16string all;
        if (append) {
            all = item.GetField(field) + u"; ";
        }
        item.SetField(field, all + text);
        item.Display();
    }
};

TEST_F(ThunderbirdEndToEnd, NoComposeWindowGivesNoItem) {
    EXPECT_EQ(client_->ActiveItem(), nullptr);
}

TEST_F(ThunderbirdEndToEnd, NewItemsReplaceAndAppendInEachField) {
    const auto a = People("新規", 2);
    const std::vector<TExpected> none;
    for (const bool append : {false, true}) {
        for (const TMailField field : {TMailField::To, TMailField::CC, TMailField::BCC}) {
            SCOPED_TRACE(testing::Message()
                         << "field " << static_cast<int>(field) << " append " << append);
            const auto item = client_->CreateItem();
            WriteLikeTheWindow(*item, field, FieldText(a), append);
            const int64_t tab = ActiveTab();
            ASSERT_GE(tab, 0);
            ExpectFields(tab, field == TMailField::To ? a : none,
                         field == TMailField::CC ? a : none, field == TMailField::BCC ? a : none);
            CloseCompose(tab);
        }
    }
    EXPECT_TRUE(opened_.empty()) << "the stand-in was used while Thunderbird was connected";
}

TEST_F(ThunderbirdEndToEnd, OpenComposeWindowReplaceAndAppendInEachField) {
    const auto to = People("to", 2), cc = People("cc", 2), bcc = People("bcc", 2);
    const auto added = People("追加", 3);
    const int64_t tab = OpenCompose(to, cc, bcc);
    auto item = client_->ActiveItem();
    ASSERT_NE(item, nullptr);
    ASSERT_EQ(ActiveTab(), tab);
    WriteLikeTheWindow(*item, TMailField::To, FieldText(added), true);
    WriteLikeTheWindow(*item, TMailField::CC, FieldText(added), true);
    WriteLikeTheWindow(*item, TMailField::BCC, FieldText(added), true);
    ExpectFields(tab, Joined(to, added), Joined(cc, added), Joined(bcc, added));
    WriteLikeTheWindow(*item, TMailField::To, FieldText(added), false);
    ExpectFields(tab, added, Joined(cc, added), Joined(bcc, added));
    WriteLikeTheWindow(*item, TMailField::CC, FieldText(to), false);
    WriteLikeTheWindow(*item, TMailField::BCC, FieldText(cc), false);
    ExpectFields(tab, added, to, cc);
    CloseCompose(tab);
}

TEST_F(ThunderbirdEndToEnd, NicknamesWithSpecialCharactersStayOneRecipientEach) {
    // Address-book form: the nickname between double quotes as it is.
    const std::vector<TExpected> people = {
        {"山田, 太郎", "yamada@example.jp"},
        {"say \"hi\"", "hi@example.jp"},
        {"x <y", "lt@example.jp"},
        {"c;d", "semi@example.jp"},
        {"e@f", "at@example.jp"},
        {"g\\h", "backslash@example.jp"},
        {"鈴木 花子", "suzuki@example.jp"},
        {"営業部; 大阪, 第二課 <西>", "osaka@example.jp"},
        {"", "plain@example.jp"},
    };
    std::string text;
    for (const TExpected& p : people) {
        text += p.name.empty() ? p.address + "; " : "\"" + p.name + "\"<" + p.address + ">; ";
    }
    // Thunderbird itself reads the entries it is given twice, once as a
    // header and once as typed text: a ";" in a name comes back as "," and a
    // backslash before a plain character is lost. Each recipient still
    // arrives whole, with its own address.
    std::vector<TExpected> kept = people;
    kept[3].name = "c,d";
    kept[5].name = "gh";
    kept[7].name = "営業部, 大阪, 第二課 <西>";
    const int64_t tab = OpenCompose({}, {}, {});
    auto item = client_->ActiveItem();
    ASSERT_NE(item, nullptr);
    WriteLikeTheWindow(*item, TMailField::To, Utf8ToUtf16(text), false);
    ExpectFields(tab, kept, {}, {});
    // Append mode reads the field back and writes it again: nothing changes
    // in the old entries.
    WriteLikeTheWindow(*item, TMailField::To, FieldText(People("後", 1)), true);
    ExpectFields(tab, Joined(kept, People("後", 1)), {}, {});
    if (const char* shot = std::getenv("QUORVANTEL_TB_SCREENSHOT")) {
        const pid_t import = Spawn({"import", "-window", "root", shot}, {}, root_ / "import.log");
        ASSERT_GT(import, 0);
        EXPECT_TRUE(Reap(import, kDeadline));
    }
    CloseCompose(tab);
}

// 5,000 recipients by default; QUORVANTEL_TB_RECIPIENTS=50000 for the full
// size (Thunderbird needs minutes for that many pills).
TEST_F(ThunderbirdEndToEnd, ManyRecipientsIntoAnOpenWindow) {
    const char* wanted = std::getenv("QUORVANTEL_TB_RECIPIENTS");
    const int count = wanted != nullptr ? std::atoi(wanted) : 5000;
    const auto people = People("受信者", count);
    const int64_t tab = OpenCompose({}, {}, {});
    auto item = client_->ActiveItem();
    ASSERT_NE(item, nullptr);
    const std::u16string text = FieldText(people);
    const auto start = Clock::now();
    item->SetField(TMailField::To, text);
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    std::cout << "[ info ] " << count << " recipients into To: " << ms << " ms\n";
    RecordProperty("recipients", count);
    RecordProperty("milliseconds", std::to_string(ms));
    // Thunderbird lays the pills out after answering; until it is done, a
    // request may run into its time-out. Ask again, within a deadline.
    Json d;
    const auto deadline = Clock::now() + 300s;
    while (d.is_null()) {
        try {
            d = Details(tab);
        } catch (const EThunderbirdError&) {
            ASSERT_LT(Clock::now(), deadline) << "Thunderbird stays busy";
        }
    }
    ASSERT_EQ(d["to"].size(), people.size());
    EXPECT_EQ(Parsed(d["to"]), people);
    CloseCompose(tab);
}

TEST_F(ThunderbirdEndToEnd, ComposeWindowClosedMidActionIsAnError) {
    const int64_t tab = OpenCompose(People("閉", 1), {}, {});
    auto item = client_->ActiveItem();
    ASSERT_NE(item, nullptr);
    CloseCompose(tab);
    try {
        item->SetField(TMailField::To, FieldText(People("x", 1)));
        FAIL() << "no error";
    } catch (const EThunderbirdError& e) {
        EXPECT_STREQ(e.what(), "メールの作成ウインドウが閉じられました");
    }
    EXPECT_TRUE(client_->CanReachOpenItems());
    EXPECT_EQ(client_->ActiveItem(), nullptr);
}

TEST_F(ThunderbirdEndToEnd, QuorvantelRestartIsReconnected) {
    client_.reset();
    tb_ = nullptr;
    MakeClient();
    EXPECT_TRUE(WaitFor([] { return client_->CanReachOpenItems(); }, kDeadline));
    EXPECT_EQ(client_->ActiveItem(), nullptr);
}

// Last: Thunderbird goes away.
TEST_F(ThunderbirdEndToEnd, ThunderbirdQuitBetweenTwoCalls) {
    OpenCompose(People("終", 1), {}, {});
    auto item = client_->ActiveItem();
    ASSERT_NE(item, nullptr);
    reachChanges_ = 0;
    kill(-thunderbird_, SIGTERM);
    ASSERT_TRUE(Reap(thunderbird_, 60s));
    thunderbird_ = -1;
    try {
        item->SetField(TMailField::To, FieldText(People("x", 1)));
        FAIL() << "no error";
    } catch (const EThunderbirdError& e) {
        EXPECT_NE(std::string(e.what()).find("Thunderbird との接続が切れました"), std::string::npos)
            << e.what();
    }
    EXPECT_TRUE(WaitFor([] { return reachChanges_ > 0; }, kDeadline));
    EXPECT_FALSE(client_->CanReachOpenItems());
    EXPECT_EQ(client_->ActiveItem(), nullptr);
    // Usable afterwards: a new item goes to the desktop's mail client.
    opened_.clear();
    const auto draft = client_->CreateItem();
    WriteLikeTheWindow(*draft, TMailField::To, FieldText(People("後", 1)), false);
    ASSERT_EQ(opened_.size(), 1u);
    EXPECT_NE(opened_[0].find("%E5%BE%8C0@example.jp"), std::string::npos) << opened_[0];
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
