// The file system: the atomic save that keeps the old file whole.
#include "core/Files.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "core/Errors.h"
#include "tests/support/TestFiles.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

TEST(AtomicWriteTest, ReplacesTheFileAndLeavesNoTemporary) {
    TempDir dir;
    const fs::path path = dir.Write("quorvantel.ini", "old content that is longer\r\n");
#ifndef _WIN32
    chmod(path.c_str(), 0640);
#endif
    WriteFileAtomically(path, "new\r\n");
    EXPECT_EQ(ReadAll(path), "new\r\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
#ifndef _WIN32
    struct stat st {};
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
#endif

    const fs::path fresh = dir.path() / "fresh.ini";
    WriteFileAtomically(fresh, "");
    EXPECT_TRUE(fs::is_regular_file(fresh));
    EXPECT_EQ(fs::file_size(fresh), 0u);
}

TEST(AtomicWriteTest, FailureKeepsTheOldFileAndReportsTheCode) {
    TempDir dir;
    // Missing directory: the temporary file cannot even be made.
    try {
        WriteFileAtomically(dir.path() / "no-such-dir" / "quorvantel.ini", "x");
        ADD_FAILURE() << "no error";
    } catch (const EInOutError& e) {
        EXPECT_EQ(e.ErrorCode(), 2);
        EXPECT_STREQ(e.what(), "ファイルが見つかりません");
    }
    // A non-empty directory where the file should be: the rename fails, nothing is lost.
    const fs::path blocked = dir.path() / "quorvantel.ini";
    dir.Write("quorvantel.ini/keep.txt", "kept");
    EXPECT_THROW(WriteFileAtomically(blocked, "x"), EInOutError);
    EXPECT_EQ(ReadAll(blocked / "keep.txt"), "kept");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

#ifndef _WIN32
TEST(AtomicWriteTest, SymbolicLinkKeepsPointingAtItsFile) {
    TempDir dir;
    const fs::path real = dir.Write("real.ini", "old");
    const fs::path link = dir.path() / "quorvantel.ini";
    fs::create_symlink(real, link);
    WriteFileAtomically(link, "new");
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(ReadAll(real), "new");
}
#endif

}  // namespace
