#include "tests/win32/FakeOutlookLog.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

std::ostream& operator<<(std::ostream& out, const TFakeCall& c) {
    return out << c.role << " " << c.object << "." << c.member << "(" << c.args << ")";
}

void RegisterFakeOutlookDll(const std::filesystem::path& dll, bool on) {
    HMODULE module = LoadLibraryW(dll.c_str());
    ASSERT_NE(module, nullptr) << dll;
    using TEntry = HRESULT(STDAPICALLTYPE*)();
    auto entry = reinterpret_cast<TEntry>(reinterpret_cast<void*>(
        GetProcAddress(module, on ? "DllRegisterServer" : "DllUnregisterServer")));
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry(), S_OK);
    FreeLibrary(module);
}

std::vector<TFakeCall> ReadFakeOutlookLog(const std::filesystem::path& log) {
    std::ifstream in(log, std::ios::binary);
    std::vector<TFakeCall> calls;
    std::string line;
    while (std::getline(in, line)) {
        std::vector<std::string> f;
        std::stringstream fields(line);
        std::string field;
        while (std::getline(fields, field, '\t')) {
            f.push_back(field);
        }
        f.resize(4);
        calls.push_back({f[1], f[2], f[3], f[0]});
    }
    return calls;
}

std::vector<TFakeCall> ProgramCalls(const std::vector<TFakeCall>& log) {
    std::vector<TFakeCall> calls;
    for (TFakeCall c : log) {
        if (c.object == "Application" && (c.member == "create" || c.member == "serve")) {
            continue;
        }
        c.role.clear();
        calls.push_back(c);
    }
    return calls;
}
