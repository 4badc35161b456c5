// Times the main window on the large generated mail folder:
//   window_bench [FOLDER]
// start-up to the first shown window, the tree of every group, the list
// refilled with a group of 10,000 members, a double-click on a group row (the
// tree moves, the list refills), the Properties command, and the "「宛先」へ"
// button on a row that expands to 50,000 recipients (until the text reaches a
// recording mail client). Without FOLDER the folder is generated into a
// temporary directory. Exit status 1 only when the run fails.
#include <QApplication>
#include <QElapsedTimer>
#include <QItemSelectionModel>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTreeView>
#include <QWindow>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "bench/BenchFolder.h"
#include "core/Encoding.h"
#include "core/GroupTree.h"
#include "mailclient/MailClient.h"
#include "ui/ErrorReport.h"
#include "ui/qt/Form1Window.h"
#include "ui/qt/Form2Window.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kRounds = 5;

double Millis(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// Lets the window lay itself out and paint.
void Settle(QWidget& window) {
    QApplication::processEvents();
    if (window.windowHandle() != nullptr) {
        QElapsedTimer timer;
        timer.start();
        while (!window.windowHandle()->isExposed() && timer.elapsed() < 5000) {
            QApplication::processEvents(QEventLoop::AllEvents, 10);
        }
    }
    QApplication::processEvents();
}

int NodeNamed(const TForm1Window& form, const char* name) {
    const auto& nodes = form.TreeModel()->Nodes();
    for (size_t i = 0; i < nodes.size(); ++i) {
        if (nodes[i].Name == name) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

// Takes the recipient text and notes when it arrived; connecting costs nothing.
struct TRecordingClient : TMailClient {
    struct Item : TMailItem {
        explicit Item(TRecordingClient& c) : client(c) {}
        std::u16string GetField(TMailField) override { return {}; }
        void SetField(TMailField, const std::u16string& text) override {
            client.written = Clock::now();
            client.text = text;
        }
        void Display() override {}
        TRecordingClient& client;
    };
    void Connect() override {}
    std::unique_ptr<TMailItem> CreateItem() override { return std::make_unique<Item>(*this); }
    std::unique_ptr<TMailItem> ActiveItem() override { return nullptr; }
    bool CanReachOpenItems() const override { return true; }
    std::string DisplayName() const override { return "recording"; }

    Clock::time_point written;
    std::u16string text;
};

void SelectRow(TForm1Window& form, int row) {
    form.ListView1->selectionModel()->select(
        form.ListModel()->index(row, 0),
        QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

int RowNamed(const TForm1Window& form, const std::string& name) {
    const auto& rows = form.ListModel()->Rows();
    for (size_t i = 0; i < rows.size(); ++i) {
        if (rows[i].Caption == name) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void Report(const char* what, const std::vector<double>& ms, double target) {
    const double median = Median(ms);
    const double worst = *std::max_element(ms.begin(), ms.end());
    std::printf("%-34s median %8.1f ms  worst %8.1f ms  target < %6.0f ms  %s\n", what, median,
                worst, target, worst < target ? "ok" : "MISSED");
}

}  // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    QTemporaryDir tmp;
    if (!tmp.isValid()) {
        return 1;
    }
    const fs::path dir(tmp.path().toStdString());

    fs::path folder;
    if (argc > 1) {
        folder = argv[1];
    } else {
        folder = dir / "mailbox";
        const auto t0 = Clock::now();
        GenerateBenchFolder(folder);
        std::printf("generated %s in %.0f ms\n", folder.c_str(), Millis(Clock::now() - t0));
    }
    const fs::path ini = dir / "quorvantel.ini";
    {
        std::ofstream out(ini, std::ios::binary);
        out << "MailFolder: " << PathToCp932(fs::absolute(folder)) << "\r\n";
    }
    TForm1::SetIniFileOverride(ini);
    bool failed = false;
    SetErrorReporter([&](const std::string& text) {
        std::fprintf(stderr, "error: %s\n", text.c_str());
        failed = true;
    });

    std::vector<double> startup, tree, list;
    std::unique_ptr<TForm1Window> form;
    for (int round = 0; round < kRounds; ++round) {
        form.reset();
        Prefs = TPrefs{};
        const auto t0 = Clock::now();
        form = std::make_unique<TForm1Window>();
        form->show();
        Settle(*form);
        startup.push_back(Millis(Clock::now() - t0));
    }
    if (failed || form->Form.Book() == nullptr) {
        return 1;
    }
    std::printf("cards %zu, groups %zu, tree nodes %zu\n", form->Form.Book()->CardCount(),
                form->Form.Book()->Groups().size(), form->TreeModel()->Nodes().size());

    // "アドレス帳読み込み": Load, the tree, the shown window.
    std::vector<double> reading;
    for (int round = 0; round < kRounds; ++round) {
        const auto t0 = Clock::now();
        form->B_READ->click();
        Settle(*form);
        reading.push_back(Millis(Clock::now() - t0));
    }

    // The tree alone, from the loaded book: the same steps as the read after Load.
    for (int round = 0; round < kRounds; ++round) {
        const auto t0 = Clock::now();
        form->TreeClear();
        form->TreeBeginUpdate();
        TGroupTreeBuilder builder(*form->Form.Book(), kMaxTreeNodes);
        const int root = builder.AddRoot();
        form->TreeAddNode(-1, "\\", 2, 2);
        for (const std::string& name : form->Form.Book()->GroupMembers("\\")) {
            form->Form.AddToTreeView(builder, name, root);
        }
        form->TreeEndUpdate();
        form->TreeExpandAll();
        Settle(*form);
        tree.push_back(Millis(Clock::now() - t0));
    }

    const int wide = NodeNamed(*form, kBenchWideGroup);
    if (wide < 0) {
        std::fprintf(stderr, "no node for %s\n", kBenchWideGroup);
        return 1;
    }
    size_t rows = 0;
    for (int round = 0; round < kRounds; ++round) {
        form->TreeView1->setCurrentIndex(form->TreeModel()->IndexOf(0));
        Settle(*form);
        const auto t0 = Clock::now();
        form->TreeView1->setCurrentIndex(form->TreeModel()->IndexOf(wide));
        Settle(*form);
        list.push_back(Millis(Clock::now() - t0));
        rows = form->ListModel()->Rows().size();
    }
    std::printf("list rows for %s: %zu\n", kBenchWideGroup, rows);

    // Double-click on a group row of the root's list: the tree moves to that
    // group and the list refills with its members.
    std::vector<double> dblclick;
    std::string target;
    for (int round = 0; round < kRounds; ++round) {
        form->TreeView1->setCurrentIndex(form->TreeModel()->IndexOf(0));
        Settle(*form);
        const int row = RowNamed(*form, kBenchWideGroup);
        if (row < 0) {
            std::fprintf(stderr, "%s is not listed under the root\n", kBenchWideGroup);
            return 1;
        }
        const QModelIndex index = form->ListModel()->index(row, 0);
        form->ListView1->scrollTo(index);
        Settle(*form);
        SelectRow(*form, row);
        const QPoint at = form->ListView1->visualRect(index).center();
        const auto t0 = Clock::now();
        // A press, a release and the double-click event, as a mouse gives them.
        for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease,
                                  QEvent::MouseButtonDblClick, QEvent::MouseButtonRelease}) {
            const bool down = type != QEvent::MouseButtonRelease;
            QMouseEvent event(type, at, form->ListView1->viewport()->mapToGlobal(at),
                              Qt::LeftButton, down ? Qt::LeftButton : Qt::NoButton, {});
            QApplication::sendEvent(form->ListView1->viewport(), &event);
        }
        Settle(*form);
        dblclick.push_back(Millis(Clock::now() - t0));
        if (form->TreeView1->currentIndex() != form->TreeModel()->IndexOf(wide) ||
            form->ListModel()->Rows().size() != rows) {
            std::fprintf(stderr, "the double-click did not move the tree to %s\n", kBenchWideGroup);
            return 1;
        }
    }

    // Properties of a card row of the wide group: TForm2 shows it.
    auto* form2 = new TForm2Window(form->Form.PropertyCard, form.get());
    form->Form.Form2 = &form2->Form;
    std::vector<double> properties;
    for (int round = 0; round < kRounds; ++round) {
        form2->hide();
        SelectRow(*form, 5000 + round);
        Settle(*form);
        const auto t0 = Clock::now();
        form->Property1->trigger();
        Settle(*form2);
        properties.push_back(Millis(Clock::now() - t0));
        if (!form2->isVisible() ||
            form->Form.PropertyCard.Nickname !=
                form->ListModel()->Rows()[static_cast<size_t>(5000 + round)].Caption) {
            std::fprintf(stderr, "the properties dialog did not show the row\n");
            return 1;
        }
    }
    form2->hide();

    // "「宛先」へ" on the row of the group that reaches 50,000 recipients.
    auto owned = std::make_unique<TRecordingClient>();
    TRecordingClient& client = *owned;
    form->Form.SetMailClient(std::move(owned));
    int bigParent = -1;
    const auto& nodes = form->TreeModel()->Nodes();
    for (size_t i = 0; i < nodes.size() && bigParent < 0; ++i) {
        const auto& members = form->Form.Book()->GroupMembers(nodes[i].Name);
        if (std::find(members.begin(), members.end(), std::string(kBenchBigGroup)) !=
            members.end()) {
            bigParent = static_cast<int>(i);
        }
    }
    if (bigParent < 0) {
        std::fprintf(stderr, "no tree node lists %s\n", kBenchBigGroup);
        return 1;
    }
    form->TreeView1->setCurrentIndex(form->TreeModel()->IndexOf(bigParent));
    Settle(*form);
    SelectRow(*form, RowNamed(*form, kBenchBigGroup));
    form->RB_NewWin->setChecked(true);
    std::vector<double> to;
    size_t recipients = 0;
    for (int round = 0; round < kRounds; ++round) {
        client.text.clear();
        const auto t0 = Clock::now();
        form->B_TO->click();
        if (client.text.empty()) {
            std::fprintf(stderr, "the button wrote nothing\n");
            return 1;
        }
        to.push_back(Millis(client.written - t0));
        recipients = 0;
        for (size_t i = 0; i + 1 < client.text.size(); ++i) {
            recipients += client.text[i] == u';' && client.text[i + 1] == u' ';
        }
    }
    std::printf("recipients written by the button: %zu\n", recipients);

    // A missed target is reported in the table, not in the exit status.
    Report("start-up to the shown window", startup, 1500);
    Report("reading the folder (B_READ)", reading, 1500);
    Report("tree of every group", tree, 300);
    Report("list refill, 10,000 members", list, 150);
    Report("double-click, 10,000 members", dblclick, 150);
    Report("properties dialog", properties, 150);
    Report("To button, 50,000 recipients", to, 300);
    form.reset();
    return failed ? 1 : 0;
}
