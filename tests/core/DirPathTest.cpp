#include "core/DirPath.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

struct PartCase {
    std::string path;
    std::string expected;
};

TEST(ExtractDirectoryPart, WindowsForm) {
    const PartCase cases[] = {
        {"C:\\Mail\\Winbiff\\Dummy.dat", "C:\\Mail\\Winbiff"},
        {"C:\\Dummy.dat", "C:\\"},
        {"C:Dummy.dat", "C:"},
        {"C:\\Mail\\", "C:\\Mail"},
        {"\\\\server\\share\\Dummy.dat", "\\\\server\\share"},
        {"\\Dummy.dat", "\\"},
        {"Dummy.dat", ""},
        {"", ""},
        // 表 is 95 5C: its second byte is no separator.
        {"C:\\\x95\x5c\\Dummy.dat", "C:\\\x95\x5c"},
        {"C:\\\x95\x5c", "C:\\"},
        {"\x95\x5c"
         "Dummy.dat",
         ""},
        {"C:\\\x83\x5c\x83\x74\x83\x67\\\x95\x5c\\Dummy.dat",
         "C:\\\x83\x5c\x83\x74\x83\x67\\\x95\x5c"},
    };
    for (const PartCase& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(ExtractDirectoryPart(c.path, kWindowsPathForm), c.expected);
    }
}

TEST(ExtractDirectoryPart, PosixForm) {
    const PartCase cases[] = {
        {"/home/user/Mail/Dummy.dat", "/home/user/Mail"},
        {"/Dummy.dat", "/"},
        {"/home/user/Mail/", "/home/user/Mail"},
        {"/", "/"},
        {"Dummy.dat", ""},
        {"", ""},
        {"Mail/Dummy.dat", "Mail"},
        // A UTF-8 folder name; its bytes never contain '/'.
        {"/home/user/\xe3\x83\xa1\xe3\x83\xbc\xe3\x83\xab/Dummy.dat",
         "/home/user/\xe3\x83\xa1\xe3\x83\xbc\xe3\x83\xab"},
        // A colon or a backslash is an ordinary byte of a POSIX name.
        {"/mnt/C:/a\\b/Dummy.dat", "/mnt/C:/a\\b"},
        // cp932 trail bytes only matter in the Windows form.
        {"/x\x95/Dummy.dat", "/x\x95"},
    };
    for (const PartCase& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(ExtractDirectoryPart(c.path, kPosixPathForm), c.expected);
    }
}

TEST(ChosenDirectory, FallsBackToTheExecutablesDirectory) {
    const std::set<std::string> dirs = {"/home/user/Mail", "/", "/opt/quorvantel"};
    auto isDir = [&](const std::string& p) { return dirs.count(p) > 0; };
    const std::string exe = "/opt/quorvantel/quorvantel";
    const PartCase cases[] = {
        {"/home/user/Mail/Dummy.dat", "/home/user/Mail"},
        {"/Dummy.dat", "/"},
        {"/home/user/Gone/Dummy.dat", "/opt/quorvantel"},
        {"Dummy.dat", "/opt/quorvantel"},
        {"", "/opt/quorvantel"},
    };
    for (const PartCase& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(ChosenDirectory(c.path, exe, kPosixPathForm, isDir), c.expected);
    }
}

TEST(ChosenDirectory, WindowsFormWithDoubleByteFolder) {
    const std::set<std::string> dirs = {"C:\\\x95\x5c", "C:\\", "C:\\Program Files\\Q"};
    auto isDir = [&](const std::string& p) { return dirs.count(p) > 0; };
    const std::string exe = "C:\\Program Files\\Q\\quorvantel.exe";
    EXPECT_EQ(ChosenDirectory("C:\\\x95\x5c\\Dummy.dat", exe, kWindowsPathForm, isDir),
              "C:\\\x95\x5c");
    EXPECT_EQ(ChosenDirectory("C:\\Dummy.dat", exe, kWindowsPathForm, isDir), "C:\\");
    EXPECT_EQ(ChosenDirectory("D:\\Gone\\Dummy.dat", exe, kWindowsPathForm, isDir),
              "C:\\Program Files\\Q");
}

}  // namespace
