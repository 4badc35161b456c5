// A large, made-up mail folder for timing the address book and the main window.
#pragma once

#include <filesystem>

// Creates dir (and its parents) and writes card.dat and group.dat into it:
// 100,000 cards and 10,000 groups, groups nested up to six levels below "\",
// "\" itself with 1,000 members. The content depends on nothing but a fixed
// seed, so every run times the same data.
void GenerateBenchFolder(const std::filesystem::path& dir);

// A group that reaches exactly 50,000 distinct cards through nested groups
// (ASCII, so the same bytes in cp932 and UTF-8).
extern const char* const kBenchBigGroup;

// A group with exactly 10,000 direct card members.
extern const char* const kBenchWideGroup;
