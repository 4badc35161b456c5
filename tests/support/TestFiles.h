// Scratch folders and files for tests.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

// A fresh directory under the system temp dir, removed with the object.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // Writes the bytes to a file below the directory and returns its path.
    std::filesystem::path Write(const std::string& name, std::string_view bytes) const;

  private:
    std::filesystem::path path_;
};

// UTF-8 test text to the cp932 bytes that the files hold.
std::string Sjis(std::string_view utf8);

// The whole file, or empty when it cannot be read.
std::string ReadAll(const std::filesystem::path& path);
// Writes the bytes, making the directories above the file.
void WriteAll(const std::filesystem::path& path, std::string_view bytes);
