// The fake Outlook as the tests see it: its in-process server registered or
// removed, and the calls its log records.
#pragma once

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

// One line of the fake's log.
struct TFakeCall {
    std::string object;
    std::string member;
    std::string args;
    std::string role = {};  // "inproc" or "local:PID"; empty in what a test expects
    bool operator==(const TFakeCall&) const = default;
};

std::ostream& operator<<(std::ostream& out, const TFakeCall& c);

// Through the DLL's own DllRegisterServer or DllUnregisterServer.
void RegisterFakeOutlookDll(const std::filesystem::path& dll, bool on);

// Every line of the log, in order; nothing when there is no log.
std::vector<TFakeCall> ReadFakeOutlookLog(const std::filesystem::path& log);

// What the program under test called: without the roles and without the
// fake's own creation lines.
std::vector<TFakeCall> ProgramCalls(const std::vector<TFakeCall>& log);
