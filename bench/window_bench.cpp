// Times the main window on the large generated mail folder:
//   window_bench [FOLDER]
// start-up to the first shown window, the tree of every group, and the list
// refilled with a group of 10,000 members. Without FOLDER the folder is
// generated into a temporary directory. Exit status 1 only when the run fails.
#include <QApplication>
#include <QElapsedTimer>
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

#include "BenchFolder.h"
#include "Encoding.h"
#include "ErrorReport.h"
#include "GroupTree.h"
#include "Prefs.h"
#include "Unit1.h"

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

int NodeNamed(const TForm1& form, const char* name) {
    const auto& nodes = form.TreeModel()->Nodes();
    for (size_t i = 0; i < nodes.size(); ++i) {
        if (nodes[i].Name == name)
            return static_cast<int>(i);
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
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir tmp;
    if (!tmp.isValid())
        return 1;
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
    SetErrorReporter([&](const QString& text) {
        std::fprintf(stderr, "error: %s\n", text.toLocal8Bit().constData());
        failed = true;
    });

    std::vector<double> startup, tree, list;
    std::unique_ptr<TForm1> form;
    for (int round = 0; round < kRounds; ++round) {
        form.reset();
        Prefs = TPrefs{};
        const auto t0 = Clock::now();
        form = std::make_unique<TForm1>();
        form->show();
        Settle(*form);
        startup.push_back(Millis(Clock::now() - t0));
    }
    if (failed || form->Book() == nullptr)
        return 1;
    std::printf("cards %zu, groups %zu, tree nodes %zu\n", form->Book()->CardCount(),
                form->Book()->Groups().size(), form->TreeModel()->Nodes().size());

    // The tree alone, from the loaded book: the same steps as the read after Load.
    for (int round = 0; round < kRounds; ++round) {
        const auto t0 = Clock::now();
        TTreeModel* model = form->TreeModel();
        model->BeginBuild();
        TGroupTreeBuilder builder(*form->Book(), kMaxTreeNodes);
        const int root = builder.AddRoot();
        model->AddNode(-1, "\\", 2, 2);
        for (const std::string& name : form->Book()->GroupMembers("\\")) {
            form->AddToTreeView(builder, name, root);
        }
        model->EndBuild();
        form->TreeView1->expandAll();
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

    // A missed target is reported in the table, not in the exit status.
    Report("start-up to the shown window", startup, 1500);
    Report("tree of every group", tree, 300);
    Report("list refill, 10,000 members", list, 150);
    form.reset();
    return failed ? 1 : 0;
}
