// A stand-in default mail client, registered for the mailto scheme by the
// tests: it appends the URL it was started with, as UTF-8, as one line of
// record_mailto.log beside itself, and ends.
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <string>

int wmain(int argc, wchar_t** argv) {
    wchar_t self[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, self, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) {
        return 1;
    }
    const std::wstring url = argc > 1 ? argv[1] : L"(no argument)";
    std::string utf8(
        static_cast<size_t>(WideCharToMultiByte(
            CP_UTF8, 0, url.data(), static_cast<int>(url.size()), nullptr, 0, nullptr, nullptr)),
        '\0');
    WideCharToMultiByte(CP_UTF8, 0, url.data(), static_cast<int>(url.size()), utf8.data(),
                        static_cast<int>(utf8.size()), nullptr, nullptr);
    std::ofstream log(std::filesystem::path(self).parent_path() / "record_mailto.log",
                      std::ios::binary | std::ios::app);
    log << utf8 << "\n";
    return 0;
}
