// Times a hand-off to Thunderbird, split in two shares, for 1,000, 10,000 and
// 50,000 recipients into an open compose window:
//   handoff_bench
// Ours: from the press of "「宛先」へ" to the last byte of the request with the
// recipients handed to the host, less the answers to the requests before it
// (which compose window). Thunderbird's: those answers, and the last one. This program puts a
// stand-in host behind the socket that reads each request whole and answers
// at once, so its second share is the stand-in's; the real Thunderbird's comes
// from the end-to-end test's benchmark case (tests/e2e).
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QApplication>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "core/Encoding.h"
#include "mailclient/BridgedMailClient.h"
#include "mailclient/DesktopMailClient.h"
#include "mailclient/thunderbird/TbWire.h"
#include "mailclient/thunderbird/ThunderbirdMailClient.h"
#include "ui/ErrorReport.h"
#include "ui/qt/Form1Window.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using Json = nlohmann::json;

namespace {

constexpr size_t kSizes[] = {1000, 10000, 50000};
constexpr int kRounds = 5;

// Groups g1000, g10000 and g50000 of the first n of 50,000 cards.
void WriteFolder(const fs::path& dir) {
    fs::create_directories(dir);
    std::string cards, groups = "Name: \\\r\nEntry: ";
    for (size_t i = 0; i < std::size(kSizes); ++i) {
        groups += (i > 0 ? ",\r\n  g" : "g") + std::to_string(kSizes[i]);
    }
    groups += "\r\n.\r\n";
    for (const size_t n : kSizes) {
        groups += "Name: g" + std::to_string(n) + "\r\nEntry: ";
        for (size_t i = 0; i < n; ++i) {
            groups += (i > 0 ? ",\r\n  " : "") + ("山田 太郎" + std::to_string(i));
        }
        groups += "\r\n.\r\n";
    }
    for (size_t i = 0; i < kSizes[std::size(kSizes) - 1]; ++i) {
        cards += "Nickname: 山田 太郎" + std::to_string(i) + "\r\nAddress: taro" +
                 std::to_string(i) + "@example.jp\r\n.\r\n";
    }
    std::ofstream(dir / "card.dat", std::ios::binary) << Utf8ToCp932(cards);
    std::ofstream(dir / "group.dat", std::ios::binary) << Utf8ToCp932(groups);
}

// Reads each request whole and answers at once, like an extension with
// nothing to do.
class THost {
  public:
    explicit THost(const std::string& path) {
        fd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::strncpy(addr.sun_path, path.c_str(), sizeof addr.sun_path - 1);
        ok_ = connect(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
        thread_ = std::thread([this] { Serve(); });
    }
    ~THost() {
        shutdown(fd_, SHUT_RDWR);
        thread_.join();
        close(fd_);
    }
    bool ok() const { return ok_; }

  private:
    void Serve() {
        tbwire::TFrameReader reader(tbwire::kToExtensionLimit);
        std::vector<char> buf(1 << 20);
        for (;;) {
            const ssize_t n = read(fd_, buf.data(), buf.size());
            if (n <= 0) {
                return;
            }
            reader.Feed(buf.data(), static_cast<size_t>(n));
            while (auto e = reader.Next()) {
                const Json r = Json::parse(e->payload, nullptr, false);
                if (!r.is_object() || r.contains("chunk")) {
                    continue;
                }
                Json reply = {{"id", r["id"]}, {"ok", true}};
                if (r.value("op", "") == "active") {
                    reply["tab"] = 1;
                }
                const std::string f = tbwire::Frame(reply.dump());
                if (write(fd_, f.data(), f.size()) < 0) {
                    return;
                }
            }
        }
    }
    int fd_ = -1;
    bool ok_ = false;
    std::thread thread_;
};

double Millis(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    QTemporaryDir tmp;
    if (!tmp.isValid()) {
        std::fprintf(stderr, "no temporary directory\n");
        return 1;
    }
    const fs::path root = tmp.path().toStdString();
    WriteFolder(root / "mail");
    TForm1::SetIniFileOverride(root / "quorvantel.ini");
    std::string reported;
    SetErrorReporter([&](const std::string& text) { reported = text; });

    TForm1Window form;
    TThunderbirdMailClient::TOptions options;
    options.directory = (root / "run").string();
    options.session = "bench";
    auto tb = std::make_unique<TThunderbirdMailClient>(form.EventLoop(), options);
    std::vector<TThunderbirdMailClient::TRequestTimes> requests;
    tb->SetRequestObserver([&](const auto& t) { requests.push_back(t); });
    form.Form.SetMailClient(std::make_unique<TBridgedMailClient>(
        std::move(tb), std::make_unique<TDesktopMailClient>([](const std::string&) { return true; },
                                                            TDesktopMailClient::kArgumentLimit)));
    form.Edit1->setText(QString::fromStdString((root / "mail").string()));
    form.Form.B_READClick();
    Prefs = TPrefs{};
    THost host(tbwire::SocketPath(options.directory, options.session));
    if (!host.ok() || !QTest::qWaitFor([&] { return form.RB_ExistWin->isEnabled(); }, 10000)) {
        std::fprintf(stderr, "the stand-in host did not connect\n");
        return 1;
    }
    form.RB_ExistWin->setChecked(true);
    form.TreeView1->setCurrentIndex(form.TreeModel()->IndexOf(0));

    std::printf(
        "recipients  ours (press to last byte)  stand-in's (last byte to answer)  press to "
        "return\n");
    for (size_t i = 0; i < std::size(kSizes); ++i) {
        form.ListView1->selectionModel()->select(
            form.ListModel()->index(static_cast<int>(i), 0),
            QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        std::vector<double> ours, theirs, whole;
        for (int round = 0; round < kRounds; ++round) {
            requests.clear();
            const auto press = Clock::now();
            form.B_TO->click();
            const auto back = Clock::now();
            const auto set = std::find_if(requests.begin(), requests.end(),
                                          [](const auto& t) { return t.op == "set"; });
            if (!reported.empty() || set == requests.end() || set->recipients != kSizes[i]) {
                std::fprintf(stderr, "the hand-off failed: %s\n", reported.c_str());
                return 1;
            }
            // Ours: building and sending each request up to the one with the
            // recipients; the host's: its answers on the way.
            double mine = 0, its = 0;
            auto last = press;
            for (auto t = requests.begin(); t != set + 1; ++t) {
                mine += Millis(t->sent - last);
                its += Millis(t->answered - t->sent);
                last = t->answered;
            }
            ours.push_back(mine);
            theirs.push_back(its);
            whole.push_back(Millis(back - press));
        }
        std::printf("%10zu  %21.1f ms  %28.1f ms  %12.1f ms\n", kSizes[i], Median(ours),
                    Median(theirs), Median(whole));
    }
    return 0;
}
