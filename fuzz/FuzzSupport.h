// What the fuzz bodies share: printable failure texts and a private scratch folder.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <system_error>

namespace fuzzsupport {

// The bytes in double quotes, every byte outside printable ASCII as \xNN.
inline std::string Show(std::string_view s) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c < 32 || c > 126) {
            out += "\\x";
            out += kHex[c >> 4];
            out += kHex[c & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

// A fresh folder under TMPDIR, removed with the object; Dir() is empty when
// none could be made.
class TScratch {
  public:
    TScratch() {
        std::string tmpl =
            (std::filesystem::temp_directory_path() / "quorvantel-fuzz-XXXXXX").string();
        if (mkdtemp(tmpl.data())) {
            dir_ = tmpl;
        }
    }
    ~TScratch() {
        std::error_code ec;
        if (!dir_.empty()) {
            std::filesystem::remove_all(dir_, ec);
        }
    }
    TScratch(const TScratch&) = delete;
    TScratch& operator=(const TScratch&) = delete;
    const std::filesystem::path& Dir() const { return dir_; }

  private:
    std::filesystem::path dir_;
};

inline bool WriteFile(const std::filesystem::path& path, std::string_view bytes) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(f);
}

}  // namespace fuzzsupport
