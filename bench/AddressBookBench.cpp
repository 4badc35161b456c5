// Times the address book on the large generated mail folder:
//   addressbook_bench [FOLDER]
// Without FOLDER the folder is generated into a temporary directory (in a
// child process, so that the generator's memory stays out of the peak) and
// removed at the end. Figures go to stdout; the exit status is 1 only when the
// run itself fails (a missed target is reported, not fatal).
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/BenchFolder.h"
#include "core/AddressBook.h"
#include "core/Encoding.h"
#include "core/GroupTree.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {

constexpr int kRounds = 5;

using Clock = std::chrono::steady_clock;

double Millis(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// Median of kRounds runs, in milliseconds.
double MedianMs(const std::function<void()>& body) {
    std::vector<double> times;
    for (int i = 0; i < kRounds; ++i) {
        const auto start = Clock::now();
        body();
        times.push_back(Millis(Clock::now() - start));
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// Counts the lines of both files with wc, the yardstick for reading them.
void CountLines(const fs::path& dir) {
    std::string prog = "wc";
    std::string flag = "-l";
    std::string card = (dir / "card.dat").string();
    std::string group = (dir / "group.dat").string();
    char* argv[] = {prog.data(), flag.data(), card.data(), group.data(), nullptr};
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, "wc", &fa, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&fa);
    int status = 0;
    if (rc != 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0) {
        throw std::runtime_error("wc -l failed");
    }
}

void GenerateInChild(const fs::path& dir) {
    const pid_t pid = fork();
    if (pid == 0) {
        try {
            GenerateBenchFolder(dir);
            _exit(0);
        } catch (...) {
            _exit(1);
        }
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0) {
        throw std::runtime_error("generating the bench folder failed");
    }
}

// Peak resident memory of a fresh child process that loads the folder once
// and runs the big queries, so that neither the generator nor the timing
// rounds (which free and re-read whole books) count. In MiB.
double ChildPeakRssMb(const std::string& folder, int work) {
    const pid_t pid = fork();
    if (pid == 0) {
        if (work > 0) {
            TAddressBook book;
            book.SetFolder(folder);
            book.Load();
            if (work == 1) {
                _exit(book.CardCount() == 0 ? 1 : 0);
            }
            const size_t n =
                book.JoinedRecipients(kBenchBigGroup, TRecipientForm::QuotedName).size() +
                BuildGroupTree(book).size();
            _exit(n > 0 ? 0 : 1);
        }
        _exit(0);
    }
    int status = 0;
    rusage ru{};
    if (pid < 0 || wait4(pid, &status, 0, &ru) != pid || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0) {
        throw std::runtime_error("the memory probe failed");
    }
    return static_cast<double>(ru.ru_maxrss) / 1024.0;
}

const char* Verdict(bool met) {
    return met ? "met" : "MISSED";
}

int Run(int argc, char** argv) {
    fs::path dir;
    bool temporary = false;
    if (argc > 1) {
        dir = argv[1];
        if (!fs::exists(dir / "card.dat")) {
            GenerateInChild(dir);
        }
    } else {
        dir = fs::temp_directory_path() / ("addressbook-bench-" + std::to_string(getpid()));
        temporary = true;
        GenerateInChild(dir);
    }
    const double cardBytes = static_cast<double>(fs::file_size(dir / "card.dat"));
    const double groupBytes = static_cast<double>(fs::file_size(dir / "group.dat"));
    const double fileMb = (cardBytes + groupBytes) / (1024.0 * 1024.0);
    std::printf("folder      %s\n", dir.c_str());
    std::printf("files       card.dat %.0f bytes, group.dat %.0f bytes (%.1f MiB)\n", cardBytes,
                groupBytes, fileMb);
    const std::string folder = PathToCp932(dir);
    const double rssLoad = ChildPeakRssMb(folder, 1);
    const double rssBook = ChildPeakRssMb(folder, 2);

    // Warm the page cache for both readers alike.
    CountLines(dir);
    const double wcMs = MedianMs([&] { CountLines(dir); });

    // Only Load itself is timed; each book is destroyed outside the
    // clock, before the next one is read.
    std::vector<double> loads;
    for (int i = 0; i < kRounds; ++i) {
        TAddressBook timed;
        timed.SetFolder(folder);
        const auto start = Clock::now();
        timed.Load();
        loads.push_back(Millis(Clock::now() - start));
    }
    std::sort(loads.begin(), loads.end());
    const double loadMs = loads[loads.size() / 2];

    // The book the queries use.
    TAddressBook book;
    book.SetFolder(folder);
    book.Load();
    std::printf("loaded      %zu cards, %zu groups\n", book.CardCount(), book.Groups().size());

    std::string joined;
    const double bigMs = MedianMs(
        [&] { joined = book.JoinedRecipients(kBenchBigGroup, TRecipientForm::QuotedName); });
    const size_t bigCount =
        book.ExpandRecipients(kBenchBigGroup, TRecipientForm::QuotedName).size();
    const double bigBareMs = MedianMs(
        [&] { joined = book.JoinedRecipients(kBenchBigGroup, TRecipientForm::AddressOnly); });
    const double wideMs = MedianMs(
        [&] { joined = book.JoinedRecipients(kBenchWideGroup, TRecipientForm::AddressOnly); });
    const size_t wideCount =
        book.ExpandRecipients(kBenchWideGroup, TRecipientForm::AddressOnly).size();
    size_t treeNodes = 0;
    const double treeMs = MedianMs([&] { treeNodes = BuildGroupTree(book).size(); });

    const double loadRatio = loadMs / wcMs;
    const double memRatio = rssBook / fileMb;
    std::printf("wc -l       %8.1f ms (median of %d)\n", wcMs, kRounds);
    std::printf("Load        %8.1f ms = %.1f x wc -l   (target <= 10 x: %s)\n", loadMs, loadRatio,
                Verdict(loadRatio <= 10.0));
    std::printf("JoinedRecipients %s, quoted:  %8.1f ms, %zu recipients   (target < 100 ms: %s)\n",
                kBenchBigGroup, bigMs, bigCount, Verdict(bigMs < 100.0));
    std::printf("JoinedRecipients %s, bare:    %8.1f ms\n", kBenchBigGroup, bigBareMs);
    std::printf("JoinedRecipients %s, bare:   %8.1f ms, %zu recipients\n", kBenchWideGroup, wideMs,
                wideCount);
    std::printf("BuildGroupTree  %8.1f ms, %zu nodes\n", treeMs, treeNodes);
    std::printf(
        "peak RSS    %.1f MiB = %.2f x the files, for one Load, the %s expansion and"
        " the tree (%.1f MiB after Load alone)   (target < 4 x: %s)\n",
        rssBook, memRatio, kBenchBigGroup, rssLoad, Verdict(memRatio < 4.0));

    if (temporary) {
        fs::remove_all(dir);
    }
    const bool sane = book.CardCount() == 100000 && book.Groups().size() == 10000 &&
                      bigCount == 50000 && wideCount == 10000;
    if (!sane) {
        std::fprintf(stderr, "addressbook_bench: the folder does not hold the expected book\n");
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return Run(argc, argv);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "addressbook_bench: %s\n", e.what());
        return 1;
    }
}
