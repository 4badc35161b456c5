// Times the "「宛先」へ" button on the large generated mail folder:
//   recipients_bench [FOLDER]
// The list row of the group that reaches 50,000 recipients is selected in the
// main window and the button pressed; the clock stops when the recipient text
// reaches the mail client (a timing stand-in that only takes the text). Without
// FOLDER the folder is generated into a temporary directory and removed at the
// end. Exit status 1 only when the run itself fails; a missed target is reported.
#include <QApplication>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "bench/BenchFolder.h"
#include "mailclient/MailClient.h"
#include "ui/ErrorReport.h"
#include "ui/qt/Form1Window.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kRounds = 5;
constexpr double kTargetMs = 300.0;

// Takes the text and notes when it arrived; connecting costs nothing.
struct TTimingClient : TMailClient {
    struct Item : TMailItem {
        explicit Item(TTimingClient& c) : client(c) {}
        std::u16string GetField(TMailField) override { return {}; }
        void SetField(TMailField, const std::u16string& text) override {
            client.written = Clock::now();
            client.recipients = 0;  // each recipient ends in "; "
            for (size_t i = 0; i + 1 < text.size(); ++i) {
                client.recipients += text[i] == u';' && text[i + 1] == u' ';
            }
        }
        void Display() override {}
        TTimingClient& client;
    };
    void Connect() override { connected = Clock::now(); }
    std::unique_ptr<TMailItem> CreateItem() override { return std::make_unique<Item>(*this); }
    std::unique_ptr<TMailItem> ActiveItem() override { return nullptr; }
    bool CanReachOpenItems() const override { return true; }
    std::string DisplayName() const override { return "timing"; }

    Clock::time_point connected, written;
    size_t recipients = 0;
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
    fs::path folder;
    if (argc > 1) {
        folder = argv[1];
    } else {
        folder = fs::path(tmp.path().toStdString()) / "mail";
        std::printf("generating the bench folder...\n");
        GenerateBenchFolder(folder);
    }
    TForm1::SetIniFileOverride(fs::path(tmp.path().toStdString()) / "quorvantel.ini");
    std::string reported;
    SetErrorReporter([&](const std::string& text) { reported = text; });

    TForm1Window form;
    auto owned = std::make_unique<TTimingClient>();
    TTimingClient& client = *owned;
    form.Form.SetMailClient(std::move(owned));
    form.Edit1->setText(QString::fromStdString(folder.string()));
    const auto readStart = Clock::now();
    form.Form.B_READClick();
    std::printf("read the folder and built the tree: %.1f ms\n", Millis(Clock::now() - readStart));
    Prefs = TPrefs{};

    // The tree node of a group that lists the big group, then its row.
    const std::string big = kBenchBigGroup;
    const auto& nodes = form.TreeModel()->Nodes();
    int node = -1;
    for (size_t i = 0; i < nodes.size() && node < 0; ++i) {
        const auto& members = form.Form.Book()->GroupMembers(nodes[i].Name);
        if (std::find(members.begin(), members.end(), big) != members.end()) {
            node = static_cast<int>(i);
        }
    }
    if (node < 0) {
        std::fprintf(stderr, "no tree node lists %s\n", big.c_str());
        return 1;
    }
    form.TreeView1->setCurrentIndex(form.TreeModel()->IndexOf(node));
    const auto& rows = form.ListModel()->Rows();
    const auto row = std::find_if(rows.begin(), rows.end(),
                                  [&](const TListModel::TRow& r) { return r.Caption == big; });
    if (row == rows.end()) {
        std::fprintf(stderr, "%s is not in the list\n", big.c_str());
        return 1;
    }
    form.ListView1->selectionModel()->select(
        form.ListModel()->index(static_cast<int>(row - rows.begin()), 0),
        QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    form.RB_NewWin->setChecked(true);

    std::vector<double> toConnect, toWrite;
    for (int round = 0; round < kRounds; ++round) {
        client.recipients = 0;
        const auto start = Clock::now();
        form.B_TO->click();
        if (!reported.empty() || client.recipients == 0) {
            std::fprintf(stderr, "the button wrote nothing: %s\n", reported.c_str());
            return 1;
        }
        toConnect.push_back(Millis(client.connected - start));
        toWrite.push_back(Millis(client.written - start));
    }
    const double median = Median(toWrite);
    std::printf("recipients written: %zu\n", client.recipients);
    std::printf("press to mail-client connect (recipient text built): median %.1f ms\n",
                Median(toConnect));
    std::printf("press to the write into the mail client: median %.1f ms (target < %.0f ms) %s\n",
                median, kTargetMs, median < kTargetMs ? "OK" : "MISSED");
    return 0;
}
