// Fault injection at the system-call boundary (Linux): a forked child runs a
// piece of work under ptrace, and the test decides at each system call it
// enters whether the call runs, fails with an error, or the child is killed
// there, or lets the child go on untraced after changing the world under it.
#pragma once

#ifdef __linux__

#include <sys/ptrace.h>
#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct TTraceAction {
    enum Kind {
        Run,     // the call runs
        Fail,    // the call is skipped and returns -Error
        Kill,    // SIGKILL before the call runs
        Detach,  // the call and everything after it run untraced
    };
    Kind What = Run;
    int Error = 0;
};

struct TTraceResult {
    bool Traced = false;  // false: ptrace is not allowed here
    bool Killed = false;
    bool Hung = false;            // no answer within the time limit after detaching
    std::string Answer;           // what the work returned; empty when killed
    std::vector<uint64_t> Calls;  // system calls of the work, in order (getrandom left out)
};

// Whether TTraceAction::Fail works on this machine (it needs the registers).
constexpr bool CanFailCalls() {
#if defined(__x86_64__)
    return true;
#else
    return false;
#endif
}

// The child's text at address `at`, up to its NUL.
std::string PeekString(pid_t pid, uint64_t at);

// Runs work in a traced child. onEntry sees each system call of the work as it
// is entered, with its 1-based number in Calls; tracing ends when the child
// sends its answer. getrandom, whose count varies from run to run, is neither
// shown nor counted.
TTraceResult RunTraced(
    const std::function<std::string()>& work,
    const std::function<TTraceAction(pid_t, const __ptrace_syscall_info&, int)>& onEntry);

#endif  // __linux__
