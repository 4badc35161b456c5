// The file system beyond reading text lines: what a path names, whether a
// directory takes a new file, and the atomic replacement of a file.
#pragma once

#include <filesystem>
#include <string_view>

// True when the path names an existing regular file (a directory does not count).
bool FileExists(const std::filesystem::path& path);

// True when the path names an existing directory.
bool DirectoryExists(const std::filesystem::path& path);

// Whether a file can be made in the directory: permission bits and file
// attributes do not tell (NTFS permissions, read-only mounts), so it is tried.
bool CanCreateFileIn(const std::filesystem::path& dir);

// Replaces the file's content in one step: a temporary file in the same
// directory, flushed to disk, then renamed over the old file. On failure the old
// file is left whole and the temporary file removed. An old file that may not be
// written is left alone (access denied). Throws EInOutError.
void WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes);
