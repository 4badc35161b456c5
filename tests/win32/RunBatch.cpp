// Runs many commands in one start of Wine: each line of a UTF-8 list file is
// one command, its arguments separated by tabs. Command i's standard output
// and error go together to DIR\i.out, its exit code to DIR\i.status.
// Usage: run_batch LIST DIR
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/TextUtf.h"

namespace {

std::wstring Wide(const std::string& utf8) {
    const std::u16string u = Utf8ToUtf16(utf8);
    return std::wstring(u.begin(), u.end());
}

// One argument as the C runtime's command-line parser reads it back.
std::wstring Quoted(const std::wstring& arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos) {
        return arg;
    }
    std::wstring out = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, L'\\');
    return out + L"\"";
}

DWORD Run(const std::vector<std::wstring>& args, const std::wstring& outPath) {
    std::wstring line;
    for (const std::wstring& a : args) {
        line += (line.empty() ? L"" : L" ") + Quoted(a);
    }
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE out = CreateFileW(outPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                             CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE) {
        return 126;
    }
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = out;
    si.hStdError = out;
    PROCESS_INFORMATION pi{};
    DWORD code = 127;
    if (CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si,
                       &pi)) {
        WaitForSingleObject(pi.hProcess, INFINITE);
        GetExitCodeProcess(pi.hProcess, &code);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
    CloseHandle(out);
    return code;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) {
        return 2;
    }
    std::ifstream list(std::filesystem::path(argv[1]), std::ios::binary);
    const std::wstring dir = argv[2];
    std::string command;
    for (int i = 0; std::getline(list, command); ++i) {
        if (!command.empty() && command.back() == '\r') {
            command.pop_back();
        }
        std::vector<std::wstring> args;
        size_t start = 0;
        for (size_t tab; (tab = command.find('\t', start)) != std::string::npos; start = tab + 1) {
            args.push_back(Wide(command.substr(start, tab - start)));
        }
        args.push_back(Wide(command.substr(start)));
        const std::wstring base = dir + L"\\" + std::to_wstring(i);
        const DWORD code = Run(args, base + L".out");
        std::ofstream(std::filesystem::path(base + L".status")) << code;
    }
    return 0;
}
