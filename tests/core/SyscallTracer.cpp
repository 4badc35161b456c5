#include "tests/core/SyscallTracer.h"

#ifdef __linux__

#include <fcntl.h>
#include <poll.h>
#include <sys/syscall.h>
#include <sys/user.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

namespace {

// Skips the call the child is entering; its exit then reports -error.
bool SkipCall(pid_t pid) {
#if defined(__x86_64__)
    user_regs_struct regs{};
    if (ptrace(PTRACE_GETREGS, pid, nullptr, &regs) != 0) {
        return false;
    }
    regs.orig_rax = static_cast<unsigned long long>(-1);
    return ptrace(PTRACE_SETREGS, pid, nullptr, &regs) == 0;
#else
    (void)pid;
    return false;
#endif
}

void SetReturn(pid_t pid, long value) {
#if defined(__x86_64__)
    user_regs_struct regs{};
    ptrace(PTRACE_GETREGS, pid, nullptr, &regs);
    regs.rax = static_cast<unsigned long long>(value);
    ptrace(PTRACE_SETREGS, pid, nullptr, &regs);
#else
    (void)pid;
    (void)value;
#endif
}

std::string ReadAnswer(int fd, bool& hung) {
    pollfd readable{fd, POLLIN, 0};
    if (poll(&readable, 1, 5000) == 0) {
        hung = true;
        return {};
    }
    std::string answer;
    char buf[512];
    ssize_t n;
    while ((n = read(fd, buf, sizeof buf)) > 0) {
        answer.append(buf, static_cast<size_t>(n));
    }
    return answer;
}

}  // namespace

std::string PeekString(pid_t pid, uint64_t at) {
    const int mem = open(("/proc/" + std::to_string(pid) + "/mem").c_str(), O_RDONLY);
    if (mem < 0) {
        return {};
    }
    char buf[4096] = {};
    const ssize_t n = pread(mem, buf, sizeof buf - 1, static_cast<off_t>(at));
    close(mem);
    return n > 0 ? std::string(buf) : std::string();
}

TTraceResult RunTraced(
    const std::function<std::string()>& work,
    const std::function<TTraceAction(pid_t, const __ptrace_syscall_info&, int)>& onEntry) {
    TTraceResult result;
    int fds[2];
    if (pipe(fds) != 0) {
        return result;
    }
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        if (ptrace(PTRACE_TRACEME, 0, nullptr, nullptr) != 0) {
            _exit(3);
        }
        raise(SIGSTOP);
        std::string answer;
        try {
            answer = work();
        } catch (...) {
            answer = "threw";
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
    result.Traced = true;
    ptrace(PTRACE_SETOPTIONS, pid, nullptr, PTRACE_O_TRACESYSGOOD | PTRACE_O_EXITKILL);

    int signal = 0;
    long failWith = 0;  // the return value for the exit of a skipped call
    bool running = true;
    while (running) {
        ptrace(PTRACE_SYSCALL, pid, nullptr, signal);
        signal = 0;
        waitpid(pid, &status, 0);
        if (WIFEXITED(status) || WIFSIGNALED(status)) {
            break;
        }
        if (WSTOPSIG(status) != (SIGTRAP | 0x80)) {
            signal = WSTOPSIG(status);
            continue;
        }
        __ptrace_syscall_info info{};
        ptrace(PTRACE_GET_SYSCALL_INFO, pid, sizeof info, &info);
        if (info.op == PTRACE_SYSCALL_INFO_EXIT) {
            if (failWith != 0) {
                SetReturn(pid, failWith);
            }
            failWith = 0;
            continue;
        }
        if (info.op != PTRACE_SYSCALL_INFO_ENTRY || info.entry.nr == SYS_getrandom) {
            continue;
        }
        // The work is done once the child writes its answer.
        if (info.entry.nr == SYS_write && info.entry.args[0] == static_cast<uint64_t>(fds[1])) {
            ptrace(PTRACE_DETACH, pid, nullptr, 0);
            break;
        }
        result.Calls.push_back(info.entry.nr);
        const TTraceAction action = onEntry(pid, info, static_cast<int>(result.Calls.size()));
        switch (action.What) {
            case TTraceAction::Run:
                break;
            case TTraceAction::Fail:
                if (SkipCall(pid)) {
                    failWith = -static_cast<long>(action.Error);
                }
                break;
            case TTraceAction::Kill:
                kill(pid, SIGKILL);
                result.Killed = true;
                running = false;
                break;
            case TTraceAction::Detach:
                ptrace(PTRACE_DETACH, pid, nullptr, 0);
                running = false;
                break;
        }
    }
    if (!result.Killed) {
        result.Answer = ReadAnswer(fds[0], result.Hung);
    }
    if (result.Hung) {
        kill(pid, SIGKILL);
    }
    close(fds[0]);
    waitpid(pid, &status, 0);
    return result;
}

#endif  // __linux__
