// An address-book file swapped for something else after the existence check
// and before the open: the reading must end, with an error, and never hang.
// A traced child stops as it enters the open of card.dat; the test swaps the
// file there and lets the child go on.
#include <gtest/gtest.h>

#ifdef __linux__

#include <fcntl.h>
#include <poll.h>
#include <sys/ptrace.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <functional>

#include "AddressBook.h"
#include "Encoding.h"
#include "Errors.h"
#include "TestFiles.h"

namespace {

namespace fs = std::filesystem;

// The child's text at address `at`, up to its NUL.
std::string PeekString(pid_t pid, uint64_t at) {
    const int mem = open(("/proc/" + std::to_string(pid) + "/mem").c_str(), O_RDONLY);
    if (mem < 0)
        return {};
    char buf[4096] = {};
    const ssize_t n = pread(mem, buf, sizeof buf - 1, static_cast<off_t>(at));
    close(mem);
    return n > 0 ? std::string(buf) : std::string();
}

struct RaceResult {
    bool traced = false;
    bool swapped = false;
    bool hung = false;
    std::string answer;  // "cards N groups M" or "error <message>"
};

// Loads the folder in a traced child; `swap` runs while the child stands at
// the entry of its open of `file`.
RaceResult LoadWithSwapAtOpen(const fs::path& folder, const fs::path& file,
                              const std::function<void()>& swap) {
    RaceResult result;
    int fds[2];
    if (pipe(fds) != 0)
        return result;
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        if (ptrace(PTRACE_TRACEME, 0, nullptr, nullptr) != 0)
            _exit(3);
        raise(SIGSTOP);
        std::string answer;
        try {
            TAddressBook book;
            book.SetFolder(PathToCp932(folder));
            book.Load();
            answer = "cards " + std::to_string(book.Cards().size()) + " groups " +
                     std::to_string(book.Groups().size());
        } catch (const EInOutError& e) {
            answer = std::string("error ") + e.what();
        }
        _exit(write(fds[1], answer.data(), answer.size()) >= 0 ? 0 : 1);
    }
    close(fds[1]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFSTOPPED(status)) {
        close(fds[0]);
        return result;
    }
    result.traced = true;
    ptrace(PTRACE_SETOPTIONS, pid, nullptr, PTRACE_O_TRACESYSGOOD | PTRACE_O_EXITKILL);
    int signal = 0;
    while (true) {
        ptrace(PTRACE_SYSCALL, pid, nullptr, signal);
        signal = 0;
        waitpid(pid, &status, 0);
        if (WIFEXITED(status) || WIFSIGNALED(status))
            break;
        if (WSTOPSIG(status) != (SIGTRAP | 0x80)) {
            signal = WSTOPSIG(status);
            continue;
        }
        __ptrace_syscall_info info{};
        ptrace(PTRACE_GET_SYSCALL_INFO, pid, sizeof info, &info);
        if (info.op == PTRACE_SYSCALL_INFO_ENTRY && info.entry.nr == SYS_openat &&
            PeekString(pid, info.entry.args[1]) == file.string()) {
            swap();
            result.swapped = true;
            ptrace(PTRACE_DETACH, pid, nullptr, 0);
            break;
        }
    }

    pollfd readable{fds[0], POLLIN, 0};
    if (poll(&readable, 1, 5000) == 0) {
        result.hung = true;
        kill(pid, SIGKILL);
    } else {
        char buf[512];
        ssize_t n;
        while ((n = read(fds[0], buf, sizeof buf)) > 0)
            result.answer.append(buf, static_cast<size_t>(n));
    }
    close(fds[0]);
    waitpid(pid, &status, 0);
    return result;
}

TEST(ReadRaceFaultTest, FileSwappedBeforeTheOpenEndsTheReadWithAnError) {
    const struct {
        const char* what;
        std::function<void(const fs::path&)> swap;
    } cases[] = {
        {"a FIFO without a writer", [](const fs::path& f) { mkfifo(f.c_str(), 0644); }},
        {"an endless device", [](const fs::path& f) { fs::create_symlink("/dev/zero", f); }},
        {"a directory", [](const fs::path& f) { fs::create_directory(f); }},
    };
    for (const auto& c : cases) {
        TempDir dir;
        dir.Write("card.dat", "Nickname: a\r\nAddress: a@example.jp\r\n.\r\n");
        dir.Write("group.dat", "Name: \\\r\nEntry: a\r\n.\r\n");
        const fs::path card = dir.path() / "card.dat";
        const RaceResult result = LoadWithSwapAtOpen(dir.path(), card, [&] {
            fs::remove(card);
            c.swap(card);
        });
        if (!result.traced)
            GTEST_SKIP() << "cannot trace a child here";
        ASSERT_TRUE(result.swapped) << c.what;
        EXPECT_FALSE(result.hung) << c.what << ": the reading never ended";
        // The file was there when looked for; what stands there now is no text file.
        EXPECT_EQ(result.answer, "error ファイルへのアクセスが拒否されました") << c.what;
    }
}

}  // namespace

#endif  // __linux__
