// core/ built for Windows: the code paths that only the Windows build has
// (MultiByteToWideChar, CompareStringA, Win32 file errors, "\" paths).
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/AddressBook.h"
#include "core/Collation.h"
#include "core/Encoding.h"
#include "core/Errors.h"
#include "core/Files.h"
#include "core/PrefsFile.h"
#include "core/Utils.h"

namespace fs = std::filesystem;

namespace {

// cp932 bytes of the names used below. 表 and ソ end in 0x5C, the byte of "\".
constexpr char kHyo[] = "\x95\x5C";
constexpr char kSo[] = "\x83\x5C";

// A fresh directory under the prefix's temp folder, removed afterwards.
class TScratch {
  public:
    explicit TScratch(const wchar_t* name) {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        dir_ = fs::path(temp) / (std::wstring(name) + std::to_wstring(GetCurrentProcessId()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    ~TScratch() {
        std::error_code ec;
        for (const auto& e : fs::recursive_directory_iterator(dir_, ec)) {
            SetFileAttributesW(e.path().c_str(), FILE_ATTRIBUTE_NORMAL);
        }
        fs::remove_all(dir_, ec);
    }
    const fs::path& Dir() const { return dir_; }

  private:
    fs::path dir_;
};

void WriteBytes(const fs::path& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << path;
}

std::string ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

int Sign(int v) {
    return (v > 0) - (v < 0);
}

// The code the error carries, or -1 when none was thrown.
int ReadError(const fs::path& path, std::string* message = nullptr) {
    try {
        ReadTextLines(path, [](const std::string&) {});
    } catch (const EInOutError& e) {
        if (message != nullptr) {
            *message = e.what();
        }
        return e.ErrorCode();
    }
    return -1;
}

// ---------------------------------------------------------------------------
// Code page 932 through MultiByteToWideChar / WideCharToMultiByte.

struct TCodecCase {
    const char* cp932;
    const char* utf8;
    const char16_t* utf16;
    const char* back;  // what UTF-8 converts back to
};

const TCodecCase kCodecCases[] = {
    {"\x95\x5C", "表", u"表", "\x95\x5C"},
    {"\x83\x5C", "ソ", u"ソ", "\x83\x5C"},
    {"\x81\x60", "～", u"～", "\x81\x60"},  // U+FF5E, not the wave dash of JIS
    {"\x81\x7C", "－", u"－", "\x81\x7C"},
    {"\x81\x61", "∥", u"∥", "\x81\x61"},
    {"\x81\xCA", "￢", u"￢", "\x81\xCA"},
    {"\x87\x40", "①", u"①", "\x87\x40"},      // NEC row 13
    {"\xFA\x5C", "纊", u"纊", "\xFA\x5C"},    // IBM extension
    {"\xED\x40", "纊", u"纊", "\xFA\x5C"},    // NEC's copy of it goes back to IBM's
    {"\xB1", "ｱ", u"ｱ", "\xB1"},              // half-width katakana
    {"\x5C\x7E", "\\~", u"\\~", "\x5C\x7E"},  // backslash and tilde, not yen and overline
    {"\x1A\x1C\x7F", "\x1A\x1C\x7F", u"\x1A\x1C\x7F", "\x1A\x1C\x7F"},
    {"a\x88\xEA:b", "a一:b", u"a一:b", "a\x88\xEA:b"},
};

TEST(Cp932CodecWin32, ConvertsBothWays) {
    for (const TCodecCase& c : kCodecCases) {
        SCOPED_TRACE(c.utf8);
        EXPECT_EQ(Cp932ToUtf8(c.cp932), c.utf8);
        EXPECT_EQ(Cp932ToUtf16(c.cp932), c.utf16);
        EXPECT_EQ(Utf8ToCp932(c.utf8), c.back);
        EXPECT_TRUE(IsCp932Representable(c.utf8));
    }
}

TEST(Cp932CodecWin32, CharactersCp932LacksAreNotRepresentable) {
    // é has a best-fit "e" in Windows' table: still no cp932 character.
    for (const char* utf8 : {"caf\xC3\xA9", "\xED\x95\x9C", "\xF0\x9F\x98\x80", "\xC3\xA0"}) {
        SCOPED_TRACE(utf8);
        EXPECT_FALSE(IsCp932Representable(utf8));
    }
}

TEST(Cp932CodecWin32, PathsAreWideOnWindows) {
    const std::string cp932 = std::string("C:\\mail\\") + kHyo + "\\" + kSo;
    const fs::path path = Cp932ToPath(cp932);
    EXPECT_EQ(path.native(), L"C:\\mail\\表\\ソ");
    EXPECT_EQ(PathToCp932(path), cp932);
}

// ---------------------------------------------------------------------------
// Recipient collation: CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE).

struct TCollationCase {
    const char* a;
    const char* b;
    int sign;  // 2: unequal, either way round
};

const TCollationCase kCollationCases[] = {
    {"abc", "ABC", 0},
    {"\"Taro\"<taro@example.jp>", "\"TARO\"<TARO@EXAMPLE.JP>", 0},
    {"abc", "abd", -1},
    {"B", "a", 1},
    {"", "a", -1},
    {"\x82\x81", "\x82\x60", 0},                  // full-width a and A: case only
    {"\x82\x60\x82\x61", "AB", 1},                // full-width against ASCII: width counts
    {"\x82\xA0", "\x83\x41", 2},                  // hiragana and katakana a: kana type counts
    {"\x8D\xB2\x93\xA1", "\x8D\xB2\x93\xA1", 0},  // 佐藤
};

TEST(CollationWin32, ComparesWithTheUserLocaleIgnoringCase) {
    for (const TCollationCase& c : kCollationCases) {
        SCOPED_TRACE(std::string(c.a) + " / " + c.b);
        const int ab = Sign(CompareRecipients(c.a, c.b));
        EXPECT_EQ(Sign(CompareRecipients(c.b, c.a)), -ab);
        if (c.sign == 2) {
            EXPECT_NE(ab, 0);
        } else {
            EXPECT_EQ(ab, c.sign);
        }
    }
}

TEST(CollationWin32, SortKeysAgreeWithTheComparison) {
    // The expansion sorts and drops duplicates by key; the keys must order
    // as CompareStringA does.
    for (const TCollationCase& c : kCollationCases) {
        SCOPED_TRACE(std::string(c.a) + " / " + c.b);
        const std::string ka = RecipientSortKey(c.a);
        const std::string kb = RecipientSortKey(c.b);
        EXPECT_EQ(Sign(ka.compare(kb)), Sign(CompareRecipients(c.a, c.b)));
    }
}

TEST(CollationWin32, ExpansionDropsRecipientsThatDifferOnlyInCase) {
    TScratch scratch(L"qv-collation");
    WriteBytes(scratch.Dir() / "card.dat",
               "Nickname: Taro\r\nAddress: taro@example.jp\r\n.\r\n"
               "Nickname: TARO\r\nAddress: TARO@EXAMPLE.JP\r\n.\r\n"
               "Nickname: \x82\xA0\r\nAddress: a@example.jp\r\n.\r\n"
               "Nickname: \x83\x41\r\nAddress: a@example.jp\r\n.\r\n");
    WriteBytes(scratch.Dir() / "group.dat",
               "Name: g\r\nEntry: TARO\r\n \x83\x41\r\n Taro\r\n \x82\xA0\r\n.\r\n");
    TAddressBook book;
    book.SetFolder(PathToCp932(scratch.Dir()));
    book.Load();
    // Taro and TARO are one recipient, the first added; the kana stay apart.
    const TRecipientList items = book.ExpandRecipients("g", TRecipientForm::QuotedName);
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(std::count(items.begin(), items.end(), "\"TARO\"<TARO@EXAMPLE.JP>"), 1);
    EXPECT_EQ(std::count(items.begin(), items.end(), "\"\x82\xA0\"<a@example.jp>"), 1);
    EXPECT_EQ(std::count(items.begin(), items.end(), "\"\x83\x41\"<a@example.jp>"), 1);
    for (size_t i = 1; i < items.size(); ++i) {
        EXPECT_LT(CompareRecipients(items[i - 1], items[i]), 0) << i;
    }
}

// ---------------------------------------------------------------------------
// Reading text files: the Windows error codes reach the user's message.

TEST(ReadTextLinesWin32, ErrorsCarryTheWindowsCodes) {
    TScratch scratch(L"qv-read");
    const fs::path file = scratch.Dir() / "card.dat";
    WriteBytes(file, "Nickname: a\r\n.\r\n");

    struct TCase {
        const char* what;
        fs::path path;
        DWORD otherAccess;  // another program's open handle on `path`, 0 for none
        DWORD otherShare;
        int code;
        const char* message;
    };
    const TCase cases[] = {
        {"missing file", scratch.Dir() / "none.dat", 0, 0, 2, "ファイルが見つかりません"},
        {"missing folder", scratch.Dir() / "none" / "card.dat", 0, 0, 3, "不正なファイル名です"},
        {"a folder", scratch.Dir(), 0, 0, 5, "ファイルへのアクセスが拒否されました"},
        {"open for writing elsewhere", file, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, 32,
         "I/O エラー (32)"},
        {"open and locked elsewhere", file, GENERIC_READ, 0, 32, "I/O エラー (32)"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.what);
        HANDLE other = INVALID_HANDLE_VALUE;
        if (c.otherAccess != 0) {
            other = CreateFileW(c.path.c_str(), c.otherAccess, c.otherShare, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
            ASSERT_NE(other, INVALID_HANDLE_VALUE);
        }
        std::string message;
        EXPECT_EQ(ReadError(c.path, &message), c.code);
        EXPECT_EQ(message, c.message);
        if (other != INVALID_HANDLE_VALUE) {
            CloseHandle(other);
        }
    }
    EXPECT_EQ(ReadError(file), -1) << "readable again once the others let go";
}

TEST(ReadTextLinesWin32, OthersMayReadButNotWriteWhileItReads) {
    TScratch scratch(L"qv-share");
    const fs::path file = scratch.Dir() / "group.dat";
    WriteBytes(file, "Name: a\r\n.\r\n");
    DWORD readErr = 1;
    DWORD writeErr = 0;
    ReadTextLines(file, [&](const std::string&) {
        HANDLE r = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, 0, nullptr);
        readErr = r == INVALID_HANDLE_VALUE ? GetLastError() : 0;
        if (r != INVALID_HANDLE_VALUE) {
            CloseHandle(r);
        }
        HANDLE w = CreateFileW(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, 0, nullptr);
        writeErr = w == INVALID_HANDLE_VALUE ? GetLastError() : 0;
        if (w != INVALID_HANDLE_VALUE) {
            CloseHandle(w);
        }
    });
    EXPECT_EQ(readErr, 0u);
    EXPECT_EQ(writeErr, static_cast<DWORD>(ERROR_SHARING_VIOLATION));
}

// ---------------------------------------------------------------------------
// Paths with "\".

TEST(AddressBookWin32, SetFolderAddsOneBackslash) {
    struct TCase {
        std::string in;
        std::string out;
    };
    const TCase cases[] = {
        {"C:\\mail", "C:\\mail\\"},
        {"C:\\mail\\", "C:\\mail\\"},
        {"C:\\", "C:\\"},
        {"", ""},
        // The last byte is the second byte of a character, not a separator.
        {std::string("C:\\") + kHyo, std::string("C:\\") + kHyo + "\\"},
        {std::string("C:\\") + kSo + kHyo, std::string("C:\\") + kSo + kHyo + "\\"},
        {std::string("C:\\") + kHyo + "\\", std::string("C:\\") + kHyo + "\\"},
        {std::string("\\\\server\\") + kSo + "\\", std::string("\\\\server\\") + kSo + "\\"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(Cp932ToUtf8(c.in));
        TAddressBook book;
        book.SetFolder(c.in);
        EXPECT_EQ(book.Folder(), c.out);
    }
}

TEST(AddressBookWin32, ReadsAFolderWhoseNameEndsInA5CCharacter) {
    TScratch scratch(L"qv-folder");
    const fs::path dir = scratch.Dir() / L"住所録表";
    fs::create_directories(dir);
    const std::string card = "Nickname: \x8D\xB2\x93\xA1\r\nAddress: sato@example.jp\r\n.\r\n";
    WriteBytes(dir / "card.dat", card);
    WriteBytes(dir / "group.dat", "Name: \\\r\nEntry: \x8D\xB2\x93\xA1\r\n.\r\n");
    TAddressBook book;
    book.SetFolder(PathToCp932(dir));
    book.Load();
    ASSERT_EQ(book.CardCount(), 1u);
    EXPECT_EQ(book.CardAddress("\x8D\xB2\x93\xA1"), "sato@example.jp");
    EXPECT_EQ(book.GroupMembers("\\").size(), 1u);
}

TEST(PrefsPathWin32, ChoosesBesideTheExecutableOrTheUserFolder) {
    TScratch scratch(L"qv-prefs");
    const fs::path exeDir = scratch.Dir() / L"プログラム表";
    const fs::path config = scratch.Dir() / L"AppData" / L"Roaming";
    fs::create_directories(exeDir);
    EXPECT_EQ(ChoosePrefsPath(exeDir, true, config).native(),
              exeDir.native() + L"\\quorvantel.ini");
    EXPECT_EQ(ChoosePrefsPath(exeDir, false, config).native(),
              config.native() + L"\\quorvantel\\quorvantel.ini");
    WriteBytes(exeDir / "quorvantel.ini", "MailFolder: C:\\mail\r\n");
    EXPECT_EQ(ChoosePrefsPath(exeDir, false, config).native(),
              exeDir.native() + L"\\quorvantel.ini");
}

// ---------------------------------------------------------------------------
// The atomic save: a temporary file, then MoveFileExW over the old one.

std::vector<fs::path> FilesIn(const fs::path& dir) {
    std::vector<fs::path> names;
    for (const auto& e : fs::directory_iterator(dir)) {
        names.push_back(e.path().filename());
    }
    return names;
}

TEST(PrefsSaveWin32, ReplacesTheFileOrLeavesItWhole) {
    TScratch scratch(L"qv-save");
    const fs::path dir = scratch.Dir() / L"設定表";
    fs::create_directories(dir);
    const fs::path ini = dir / "quorvantel.ini";
    const std::string text = "MailFolder: C:\\\x95\x5C\r\nUseAppendMode: NO\r\n";

    // A new file, then a replacement; no temporary file stays.
    WriteFileAtomically(ini, "old");
    EXPECT_EQ(ReadBytes(ini), "old");
    WriteFileAtomically(ini, text);
    EXPECT_EQ(ReadBytes(ini), text);
    EXPECT_EQ(FilesIn(dir), std::vector<fs::path>{"quorvantel.ini"});

    // A read-only file may not be replaced.
    {
        SCOPED_TRACE("read-only");
        ASSERT_TRUE(SetFileAttributesW(ini.c_str(), FILE_ATTRIBUTE_READONLY));
        try {
            WriteFileAtomically(ini, "new");
            ADD_FAILURE() << "no error";
        } catch (const EInOutError& e) {
            EXPECT_EQ(e.ErrorCode(), 5);
            EXPECT_STREQ(e.what(), "ファイルへのアクセスが拒否されました");
        }
        SetFileAttributesW(ini.c_str(), FILE_ATTRIBUTE_NORMAL);
        EXPECT_EQ(ReadBytes(ini), text);
        EXPECT_EQ(FilesIn(dir), std::vector<fs::path>{"quorvantel.ini"});
    }
    // A folder that is not there.
    {
        SCOPED_TRACE("missing folder");
        try {
            WriteFileAtomically(dir / "none" / "quorvantel.ini", "new");
            ADD_FAILURE() << "no error";
        } catch (const EInOutError& e) {
            EXPECT_EQ(e.ErrorCode(), 3);
            EXPECT_STREQ(e.what(), "不正なファイル名です");
        }
    }
    // Another program holds the file open without letting it be replaced.
    {
        SCOPED_TRACE("held open");
        HANDLE other = CreateFileW(ini.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(other, INVALID_HANDLE_VALUE);
        try {
            WriteFileAtomically(ini, "new");
            ADD_FAILURE() << "no error";
        } catch (const EInOutError& e) {
            EXPECT_EQ(e.ErrorCode(), 32);
            EXPECT_STREQ(e.what(), "I/O エラー (32)");
        }
        CloseHandle(other);
        EXPECT_EQ(ReadBytes(ini), text);
        EXPECT_EQ(FilesIn(dir), std::vector<fs::path>{"quorvantel.ini"});
    }
}

}  // namespace
