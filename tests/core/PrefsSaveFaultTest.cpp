// The preferences save against a failing disk: no permission, no room, and the
// process killed in the middle. Each fault runs in a forked child, so that
// dropped privileges, file-size limits, mounts and kills stay there; the child
// sends back what the save threw. The old file must be whole every time.
#include <gtest/gtest.h>

#ifdef __linux__

#include <fcntl.h>
#include <grp.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/ptrace.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <functional>
#include <iostream>
#include <set>
#include <sstream>
#include <vector>

#include "core/Errors.h"
#include "core/Files.h"
#include "tests/core/SyscallTracer.h"
#include "tests/support/TestFiles.h"

namespace {

namespace fs = std::filesystem;

constexpr uid_t kNobody = 65534;

// What a real save writes, and what an earlier one left.
const std::string kOld =
    "MailFolder: /home/old/Mail\r\nQuoteString: '> '\r\nList2ndItem: "
    "ADDRESS\r\nMailAddressOnly: YES\r\nWindowLocation: 552,7\r\n"
    "WindowSize: 458,447\r\nUseAppendMode: NO\r\n";
const std::string kNew =
    "MailFolder: /home/new/Mail\r\nQuoteString: '>> '\r\nList2ndItem: "
    "MEMO\r\nMailAddressOnly: NO\r\nWindowLocation: 10,20\r\n"
    "WindowSize: 600,500\r\nUseAppendMode: YES\r\n";

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

std::set<std::string> Listing(const fs::path& dir) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

// ---- A child process that answers with a few strings

using Fields = std::vector<std::string>;

bool WriteFull(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = write(fd, data, size);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// Runs body in a forked child and returns the fields it produced; a child that
// dies without answering gives {"died"}.
Fields RunInChild(const std::function<Fields()>& body) {
    int fds[2];
    if (pipe(fds) != 0) {
        return {"died"};
    }
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        Fields out;
        try {
            out = body();
        } catch (...) {
            out = {"threw"};
        }
        std::string wire;
        for (const std::string& field : out) {
            const uint32_t size = static_cast<uint32_t>(field.size());
            wire.append(reinterpret_cast<const char*>(&size), sizeof size);
            wire += field;
        }
        _exit(WriteFull(fds[1], wire.data(), wire.size()) ? 0 : 1);
    }
    close(fds[1]);
    std::string wire;
    char buf[4096];
    ssize_t n;
    while ((n = read(fds[0], buf, sizeof buf)) != 0) {
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            break;
        }
        wire.append(buf, static_cast<size_t>(n));
    }
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        return {"died"};
    }
    Fields out;
    size_t pos = 0;
    while (pos + sizeof(uint32_t) <= wire.size()) {
        uint32_t size;
        std::memcpy(&size, wire.data() + pos, sizeof size);
        pos += sizeof size;
        out.push_back(wire.substr(pos, size));
        pos += size;
    }
    return out;
}

// {"saved"} or {"error", code, message}.
Fields TrySave(const fs::path& path, const std::string& bytes) {
    try {
        WriteFileAtomically(path, bytes);
        return {"saved"};
    } catch (const EInOutError& e) {
        return {"error", std::to_string(e.ErrorCode()), e.what()};
    }
}

// Gives up root for good (child only); an ordinary user is bound by permissions already.
bool DropPrivileges() {
    if (geteuid() != 0) {
        return true;
    }
    return setgroups(0, nullptr) == 0 && setgid(kNobody) == 0 && setuid(kNobody) == 0;
}

// A fresh directory that an unprivileged child can reach, holding the old file.
struct PrefsDir {
    TempDir temp;
    fs::path dir = temp.path() / "prefs";
    fs::path ini = dir / "quorvantel.ini";
    PrefsDir() {
        fs::create_directories(dir);
        temp.Write("prefs/quorvantel.ini", kOld);
        chmod(temp.path().c_str(), 0755);
        chmod(ini.c_str(), 0644);
    }
    ~PrefsDir() { chmod(dir.c_str(), 0755); }
};

void ExpectOldFileWhole(const PrefsDir& prefs, const std::string& what) {
    EXPECT_EQ(ReadAll(prefs.ini), kOld) << what;
    EXPECT_EQ(Listing(prefs.dir), std::set<std::string>{"quorvantel.ini"})
        << what << ": a temporary file was left behind";
}

// ---- No permission

TEST(PrefsSaveFaultTest, NoPermissionKeepsTheOldFile) {
    const struct {
        const char* what;
        mode_t dirMode;
        mode_t fileMode;
        bool needsRoot;  // the child must be another user than the file's owner
    } cases[] = {
        // The temporary file cannot be created.
        {"read-only directory", 0555, 0644, false},
        // The temporary file is written, but a sticky directory refuses to
        // replace a file of another user: the rename fails late.
        {"sticky directory, file of another user", 01777, 0644, true},
        // The directory would let a rename replace it, but the file may not be
        // written: it stays, as it would for an open to write it.
        {"read-only file in a writable directory", 0777, 0444, false},
        {"unreadable file in a writable directory", 0777, 0000, false},
    };
    std::string skipped;
    for (const auto& c : cases) {
        if (c.needsRoot && geteuid() != 0) {
            skipped += std::string(skipped.empty() ? "" : ", ") + c.what;
            continue;
        }
        PrefsDir prefs;
        ASSERT_EQ(chmod(prefs.dir.c_str(), c.dirMode), 0);
        ASSERT_EQ(chmod(prefs.ini.c_str(), c.fileMode), 0);
        const Fields result = RunInChild([&] {
            if (!DropPrivileges()) {
                return Fields{"no drop"};
            }
            return TrySave(prefs.ini, kNew);
        });
        EXPECT_EQ(result, (Fields{"error", "5", "ファイルへのアクセスが拒否されました"})) << c.what;
        chmod(prefs.dir.c_str(), 0755);
        chmod(prefs.ini.c_str(), 0644);
        ExpectOldFileWhole(prefs, c.what);
    }
    if (!skipped.empty()) {
        GTEST_SKIP() << skipped << ": needs root to act as another user";
    }
}

// ---- No room

TEST(PrefsSaveFaultTest, FileSizeLimitReadsAsDiskFull) {
    // 0: the first write fails; 40: part of the text is written before it does.
    for (rlim_t limit : {rlim_t{0}, rlim_t{40}}) {
        PrefsDir prefs;
        const Fields result = RunInChild([&] {
            signal(SIGXFSZ, SIG_IGN);  // write() then fails with EFBIG
            const rlimit rl{limit, limit};
            if (setrlimit(RLIMIT_FSIZE, &rl) != 0) {
                return Fields{"no limit"};
            }
            return TrySave(prefs.ini, kNew);
        });
        EXPECT_EQ(result, (Fields{"error", "101", "ディスクがいっぱいです"})) << limit;
        ExpectOldFileWhole(prefs, "limit " + std::to_string(limit));
    }
}

// In a mount namespace of its own, the child puts a small tmpfs over the
// directory, writes the old file there, fills the rest and saves. Its answer
// carries what the directory then holds, since only the child can see it.
Fields SaveOnFullTmpfs(const fs::path& dir) {
    if (geteuid() != 0) {
        const uid_t uid = geteuid();
        const gid_t gid = getegid();
        if (unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) {
            return {"skip", std::strerror(errno)};
        }
        std::ofstream("/proc/self/setgroups") << "deny";
        std::ofstream("/proc/self/uid_map") << "0 " << uid << " 1";
        std::ofstream("/proc/self/gid_map") << "0 " << gid << " 1";
    } else if (unshare(CLONE_NEWNS) != 0) {
        return {"skip", std::strerror(errno)};
    }
    if (mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        mount("tmpfs", dir.c_str(), "tmpfs", 0, "size=64k") != 0) {
        return {"skip", std::strerror(errno)};
    }

    const fs::path ini = dir / "quorvantel.ini";
    {
        std::ofstream out(ini, std::ios::binary);
        out << kOld;
    }
    const int fill = open((dir / "filler").c_str(), O_WRONLY | O_CREAT, 0644);
    const std::string block(4096, 'x');
    while (write(fill, block.data(), block.size()) > 0) {
    }
    const int fillErr = errno;
    close(fill);
    if (fillErr != ENOSPC) {
        return {"skip", "filler stopped with " + std::string(std::strerror(fillErr))};
    }

    Fields out = TrySave(ini, kNew);
    out.push_back(ReadAll(ini));
    std::string names;
    for (const std::string& name : Listing(dir)) {
        names += name + "\n";
    }
    out.push_back(names);
    return out;
}

TEST(PrefsSaveFaultTest, FullFileSystemKeepsTheOldFile) {
    PrefsDir prefs;
    const Fields result = RunInChild([&] { return SaveOnFullTmpfs(prefs.dir); });
    if (!result.empty() && result[0] == "skip") {
        GTEST_SKIP() << "cannot mount a small tmpfs here: " << result.at(1);
    }
    EXPECT_EQ(result,
              (Fields{"error", "101", "ディスクがいっぱいです", kOld, "filler\nquorvantel.ini\n"}));
    EXPECT_EQ(ReadAll(prefs.ini), kOld);  // the real directory was never touched
}

// ---- Killed in the middle, or failing at any step

bool IsRename(uint64_t nr) {
    return nr == SYS_renameat2 || nr == SYS_renameat
#ifdef SYS_rename
           || nr == SYS_rename
#endif
        ;
}

// What a save in a child answers: "saved", or "error <code> <message>".
std::string SaveAnswer(const fs::path& path) {
    const Fields result = TrySave(path, kNew);
    return result.size() == 3 ? "error " + result[1] + " " + result[2] : result.at(0);
}

TEST(PrefsSaveFaultTest, KilledAtAnyStepLeavesOneWholeFile) {
    // With an earlier file, and on the first save, when there is none yet.
    for (const bool hadFile : {true, false}) {
        SCOPED_TRACE(hadFile ? "earlier file" : "first save");
        PrefsDir prefs;
        bool renameSeen = false;
        int killed = 0;
        for (int n = 1; n < 200; ++n) {
            if (hadFile) {
                std::ofstream(prefs.ini, std::ios::binary | std::ios::trunc) << kOld;
            } else {
                fs::remove(prefs.ini);
            }
            const TTraceResult result = RunTraced(
                [&] { return SaveAnswer(prefs.ini); },
                [&](pid_t, const __ptrace_syscall_info&, int index) {
                    return TTraceAction{index == n ? TTraceAction::Kill : TTraceAction::Run};
                });
            if (!result.Traced) {
                GTEST_SKIP() << "cannot trace a child here";
            }
            if (!result.Killed) {
                EXPECT_EQ(result.Answer, "saved");
                EXPECT_EQ(ReadAll(prefs.ini), kNew);
                EXPECT_EQ(Listing(prefs.dir), std::set<std::string>{"quorvantel.ini"});
                break;
            }
            ++killed;
            // Before the rename has run the old file stands (or none), after it
            // the new one; never a mix.
            const bool renamed =
                std::any_of(result.Calls.begin(), result.Calls.end() - 1, IsRename);
            renameSeen = renameSeen || IsRename(result.Calls.back());
            if (renamed || hadFile) {
                EXPECT_EQ(ReadAll(prefs.ini), renamed ? kNew : kOld) << "killed at call " << n;
            } else {
                EXPECT_FALSE(fs::exists(prefs.ini)) << "killed at call " << n;
            }

            // A kill between creating the temporary file and the rename orphans
            // it; it is never read, and the next save still works.
            for (const std::string& name : Listing(prefs.dir)) {
                if (name != "quorvantel.ini") {
                    EXPECT_EQ(name.rfind("quorvantel.ini.", 0), 0u) << name;
                    EXPECT_EQ(name.size(), std::string("quorvantel.ini.XXXXXX").size()) << name;
                    fs::remove(prefs.dir / name);
                }
            }
        }
        EXPECT_TRUE(renameSeen);
        EXPECT_GT(killed, 3);
        WriteFileAtomically(prefs.ini, kNew);
        EXPECT_EQ(ReadAll(prefs.ini), kNew);
    }
}

// Calls a failing disk cannot make fail: umask never does, and memory calls
// (the allocator's, a sanitizer's) have nothing to do with the file.
bool DiskCanFail(uint64_t nr) {
    switch (nr) {
        case SYS_umask:
        case SYS_mmap:
        case SYS_munmap:
        case SYS_mremap:
        case SYS_mprotect:
        case SYS_madvise:
        case SYS_brk:
            return false;
        default:
            return true;
    }
}

// Every system call of the save fails in turn, as a disk can fail it (EIO),
// or runs out of room (ENOSPC; a delayed allocation shows at fsync or close).
// The save either goes through whole or reports the error and keeps the old
// file whole, with no temporary file left.
TEST(PrefsSaveFaultTest, EveryFailingStepKeepsTheOldFile) {
    if (!CanFailCalls()) {
        GTEST_SKIP() << "no error injection on this machine";
    }
    const struct {
        int error;
        std::string answer;
    } errors[] = {
        {EIO, "error " + std::to_string(EIO) + " I/O エラー (" + std::to_string(EIO) + ")"},
        {ENOSPC, "error 101 ディスクがいっぱいです"},
    };
    // Calls whose failure must reach the user: the permission check, creating,
    // writing, flushing, closing and renaming the temporary file.
    const std::set<uint64_t> mustReport = {SYS_faccessat,
                                           SYS_faccessat2,
                                           SYS_openat,
                                           SYS_write,
                                           SYS_fsync,
                                           SYS_close,
                                           SYS_renameat2,
                                           SYS_renameat
#ifdef SYS_rename
                                           ,
                                           SYS_rename
#endif
    };
    for (const auto& e : errors) {
        PrefsDir prefs;
        int reported = 0;
        for (int n = 1; n < 200; ++n) {
            std::ofstream(prefs.ini, std::ios::binary | std::ios::trunc) << kOld;
            uint64_t failed = 0;
            bool beforeRename = true;
            const TTraceResult result =
                RunTraced([&] { return SaveAnswer(prefs.ini); },
                          [&](pid_t, const __ptrace_syscall_info& call, int index) {
                              if (index < n) {
                                  beforeRename = beforeRename && !IsRename(call.entry.nr);
                                  return TTraceAction{};
                              }
                              if (index > n || !DiskCanFail(call.entry.nr)) {
                                  return TTraceAction{};
                              }
                              failed = call.entry.nr;
                              return TTraceAction{TTraceAction::Fail, e.error};
                          });
            if (!result.Traced) {
                GTEST_SKIP() << "cannot trace a child here";
            }
            if (static_cast<int>(result.Calls.size()) < n) {
                break;  // every step has failed once
            }
            const std::string what =
                "call " + std::to_string(n) + " (" + std::to_string(failed) + ") fails";
            EXPECT_EQ(Listing(prefs.dir), std::set<std::string>{"quorvantel.ini"}) << what;
            if (result.Answer == "saved") {
                EXPECT_EQ(ReadAll(prefs.ini), kNew) << what;
                EXPECT_FALSE(failed != 0 && beforeRename && mustReport.count(failed) != 0)
                    << what << ": a failed step was reported as success";
            } else {
                ++reported;
                EXPECT_EQ(result.Answer, e.answer) << what;
                EXPECT_EQ(ReadAll(prefs.ini), kOld) << what;
            }
        }
        EXPECT_GE(reported, 5) << e.error;  // faccessat, openat, write, fsync, close, rename
    }
}

}  // namespace

#endif  // __linux__
