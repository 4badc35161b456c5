// The address-book files failing under the reader at the system-call
// boundary: swapped for something else between the existence check and the
// open, or failing in the middle of the reading.
#include <gtest/gtest.h>

#ifdef __linux__

#include <sys/stat.h>
#include <sys/syscall.h>

#include <cerrno>
#include <functional>

#include "core/AddressBook.h"
#include "core/Encoding.h"
#include "core/Errors.h"
#include "tests/core/SyscallTracer.h"
#include "tests/support/TestFiles.h"

namespace {

namespace fs = std::filesystem;

// "cards N groups M", then " error <message>" when the load failed.
std::string LoadAnswer(const fs::path& folder) {
    TAddressBook book;
    std::string error;
    try {
        book.SetFolder(PathToCp932(folder));
        book.Load();
    } catch (const EInOutError& e) {
        error = std::string(" error ") + e.what();
    }
    return "cards " + std::to_string(book.CardCount()) + " groups " +
           std::to_string(book.Groups().size()) + error;
}

bool IsOpenOf(pid_t pid, const __ptrace_syscall_info& call, const fs::path& file) {
    return call.entry.nr == SYS_openat && PeekString(pid, call.entry.args[1]) == file.string();
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
        bool swapped = false;
        const TTraceResult result =
            RunTraced([&] { return LoadAnswer(dir.path()); },
                      [&](pid_t pid, const __ptrace_syscall_info& call, int) {
                          if (!IsOpenOf(pid, call, card)) {
                              return TTraceAction{};
                          }
                          fs::remove(card);
                          c.swap(card);
                          swapped = true;
                          return TTraceAction{TTraceAction::Detach};
                      });
        if (!result.Traced) {
            GTEST_SKIP() << "cannot trace a child here";
        }
        ASSERT_TRUE(swapped) << c.what;
        EXPECT_FALSE(result.Hung) << c.what << ": the reading never ended";
        // The file was there when looked for; what stands there now is no text file.
        EXPECT_EQ(result.Answer, "cards 0 groups 0 error ファイルへのアクセスが拒否されました")
            << c.what;
    }
}

TEST(ReadRaceFaultTest, ReadFailingMidwayKeepsTheCardsBeforeIt) {
    if (!CanFailCalls()) {
        GTEST_SKIP() << "no error injection on this machine";
    }
    // Enough cards that the reader needs several reads of card.dat.
    std::string cards;
    int count = 0;
    while (cards.size() < 300000) {
        const std::string n = std::to_string(count++);
        cards += "Nickname: n" + n + "\r\nAddress: n" + n + "@example.jp\r\n.\r\n";
    }
    TempDir dir;
    dir.Write("card.dat", cards);
    dir.Write("group.dat", "Name: \\\r\nEntry: n0\r\n.\r\n");
    const fs::path card = dir.path() / "card.dat";

    const std::string whole = "cards " + std::to_string(count) + " groups 1";
    const struct {
        int error;
        int nthRead;
        const char* answerTail;  // after "cards N groups 0"; N is checked apart
    } cases[] = {
        {EIO, 1, " error I/O エラー (5)"},
        {EIO, 3, " error I/O エラー (5)"},
        {ENOMEM, 2, " error I/O エラー (12)"},
        {EINTR, 2, nullptr},  // an interrupted read is simply repeated
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.error) + " at read " + std::to_string(c.nthRead));
        bool opened = false;
        int reads = 0;
        const TTraceResult result =
            RunTraced([&] { return LoadAnswer(dir.path()); },
                      [&](pid_t pid, const __ptrace_syscall_info& call, int) {
                          if (IsOpenOf(pid, call, card)) {
                              opened = true;
                          } else if (opened && call.entry.nr == SYS_read && ++reads == c.nthRead) {
                              return TTraceAction{TTraceAction::Fail, c.error};
                          }
                          return TTraceAction{};
                      });
        if (!result.Traced) {
            GTEST_SKIP() << "cannot trace a child here";
        }
        ASSERT_GE(reads, c.nthRead);
        if (c.answerTail == nullptr) {
            EXPECT_EQ(result.Answer, whole);
            continue;
        }
        // The cards of the reads before the failure stay; group.dat is not read.
        const std::string tail = std::string(" groups 0") + c.answerTail;
        ASSERT_GT(result.Answer.size(), tail.size()) << result.Answer;
        EXPECT_EQ(result.Answer.substr(result.Answer.size() - tail.size()), tail);
        const int kept = std::stoi(result.Answer.substr(6));
        EXPECT_LT(kept, count);
        if (c.nthRead == 1) {
            EXPECT_EQ(kept, 0);
        } else {
            EXPECT_GT(kept, 0);
        }
    }
}

}  // namespace

#endif  // __linux__
