// Small file and text helpers shared by the window tests.
#pragma once

#include <QString>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace uitest {

inline QString Q(const char* utf8) {
    return QString::fromUtf8(utf8);
}

inline std::string ReadAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

inline void WriteAll(const std::filesystem::path& path, const std::string& bytes) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

}  // namespace uitest
