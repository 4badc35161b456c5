// The preferences file format: line rules, the saved bytes and where the file
// lives.
#include "core/PrefsFile.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/support/TestFiles.h"

namespace {

namespace fs = std::filesystem;

// Records what the lines do to the window, in order.
class RecordingWindow : public TPrefsWindow {
  public:
    std::vector<std::string> calls;
    void SetLeft(int v) override { calls.push_back("L" + std::to_string(v)); }
    void SetTop(int v) override { calls.push_back("T" + std::to_string(v)); }
    void SetWidth(int v) override { calls.push_back("W" + std::to_string(v)); }
    void SetHeight(int v) override { calls.push_back("H" + std::to_string(v)); }
};

TEST(PrefsLineTest, StringKeys) {
    const struct {
        const char* line;
        const char* mailFolder;
        const char* quote;
        const char* list2nd;
        const char* mailOnly;
    } cases[] = {
        {"MailFolder: C:\\Mail", "C:\\Mail", "", "", ""},
        {"MailFolder : C:\\Mail\\Box  ", "C:\\Mail\\Box", "", "", ""},
        {"MailFolder: D:\\a:b", "D:\\a:b", "", "", ""},
        {"QuoteString: '> '", "", "> ", "", ""},
        {"QuoteString: >", "", ">", "", ""},
        {"QuoteString: \"# \"", "", "# ", "", ""},
        {"QuoteString: 'abc", "", "ab", "", ""},
        {"QuoteString: ''", "", "", "", ""},
        {"QuoteString: '", "", "", "", ""},
        {"QuoteString:", "", "", "", ""},
        {"List2ndItem: memo", "", "", "MEMO", ""},
        {"List2ndItem: Name", "", "", "NAME", ""},
        {"MailAddressOnly: no", "", "", "", "NO"},
        {"mailfolder: X", "", "", "", ""},  // keys are case-sensitive
        {"MailFolder X", "", "", "", ""},   // no colon
    };
    for (const auto& c : cases) {
        TPrefs prefs;
        RecordingWindow window;
        ApplyPrefsLine(c.line, prefs, window);
        EXPECT_EQ(prefs.MailFolder, c.mailFolder) << c.line;
        EXPECT_EQ(prefs.QuoteString, c.quote) << c.line;
        EXPECT_EQ(prefs.List2ndItem, c.list2nd) << c.line;
        EXPECT_EQ(prefs.MailAddressOnly, c.mailOnly) << c.line;
        EXPECT_TRUE(window.calls.empty()) << c.line;
    }
}

TEST(PrefsLineTest, UpperCasingTouchesOnlyAsciiLetters) {
    TPrefs prefs;
    RecordingWindow window;
    const std::string value = Sjis("memoメモ");
    ApplyPrefsLine("List2ndItem: " + value, prefs, window);
    EXPECT_EQ(prefs.List2ndItem, Sjis("MEMOメモ"));
}

TEST(PrefsLineTest, WindowValuesGoToTheWindowInOrder) {
    const struct {
        const char* line;
        std::vector<std::string> calls;
        const char* error;  // nullptr: none
    } cases[] = {
        {"WindowLocation: -4,-4", {"L-4", "T-4"}, nullptr},
        {"WindowLocation: 10 , 20", {"L10", "T20"}, nullptr},
        {"WindowLocation: $10,0x20", {"L16", "T32"}, nullptr},
        {"WindowSize: 500,400", {"W500", "H400"}, nullptr},
        {"WindowLocation: 100", {}, "リストのインデックスが範囲を超えています (0)"},
        {"WindowSize:", {}, "リストのインデックスが範囲を超えています (0)"},
        {"WindowLocation: 100,abc", {"L100"}, "'abc' は整数ではありません"},
        {"WindowLocation: 1,2,3", {"L1"}, "'2,3' は整数ではありません"},
        {"WindowSize: ,", {}, "'' は整数ではありません"},
    };
    for (const auto& c : cases) {
        TPrefs prefs;
        RecordingWindow window;
        std::string error;
        try {
            ApplyPrefsLine(c.line, prefs, window);
        } catch (const EAppError& e) {
            error = e.what();
        }
        EXPECT_EQ(window.calls, c.calls) << c.line;
        EXPECT_EQ(error, c.error ? c.error : "") << c.line;
    }
}

TEST(PrefsFileReadTest, AppendModeFollowsTheLastParsedLine) {
    const struct {
        const char* content;
        bool on;
    } cases[] = {
        {"UseAppendMode: yes\r\n", true},
        {"UseAppendMode: YES\r\n\r\n   \r\n", true},
        {"UseAppendMode: yes\r\nMailFolder: C:\\Mail\r\n", false},
        {"UseAppendMode: yes\r\nx\r\n", false},
        {"useappendmode: YES\r\n", false},
        {"UseAppendMode YES\r\n", false},
        {"UseAppendMode: NO\r\n", false},
    };
    TempDir dir;
    for (const auto& c : cases) {
        const fs::path path = dir.Write("quorvantel.ini", c.content);
        TPrefs prefs;
        prefs.UseAppendMode = !c.on;
        RecordingWindow window;
        EXPECT_TRUE(ReadPrefsFile(path, prefs, window, [](const EAppError&) {}));
        EXPECT_EQ(prefs.UseAppendMode, c.on) << c.content;
    }
}

TEST(PrefsFileReadTest, NoFileChangesNothing) {
    TempDir dir;
    fs::create_directory(dir.path() / "quorvantel.ini");  // a directory is no file
    for (const fs::path& path : {dir.path() / "missing.ini", dir.path() / "quorvantel.ini"}) {
        TPrefs prefs;
        prefs.MailFolder = "keep";
        RecordingWindow window;
        EXPECT_FALSE(ReadPrefsFile(path, prefs, window, [](const EAppError&) {}));
        EXPECT_EQ(prefs.MailFolder, "keep");
        EXPECT_TRUE(window.calls.empty());
    }
}

TEST(PrefsFileReadTest, BadWindowLineCostsOnlyItself) {
    TempDir dir;
    const fs::path path = dir.Write("quorvantel.ini",
                                    "WindowLocation: 100,abc\r\n"
                                    "MailFolder: C:\\Mail\r\n"
                                    "WindowSize: 600\r\n"
                                    "WindowSize: 500,400\r\n"
                                    "UseAppendMode: Yes\r\n");
    TPrefs prefs;
    RecordingWindow window;
    std::vector<std::string> errors;
    EXPECT_TRUE(ReadPrefsFile(path, prefs, window,
                              [&](const EAppError& e) { errors.push_back(e.what()); }));
    EXPECT_EQ(errors, (std::vector<std::string>{"'abc' は整数ではありません",
                                                "リストのインデックスが範囲を超えています (0)"}));
    EXPECT_EQ(prefs.MailFolder, "C:\\Mail");
    EXPECT_EQ(window.calls, (std::vector<std::string>{"L100", "W500", "H400"}));
    EXPECT_TRUE(prefs.UseAppendMode);
}

TEST(PrefsDefaultsTest, FillOnlyEmptyValues) {
    TPrefs empty;
    ApplyPrefsDefaults(empty);
    EXPECT_EQ(empty.QuoteString, "> ");
    EXPECT_EQ(empty.List2ndItem, "ADDRESS");
    EXPECT_EQ(empty.MailAddressOnly, "YES");

    TPrefs set{"", ">>", "MEMO", "NO", false};
    ApplyPrefsDefaults(set);
    EXPECT_EQ(set.QuoteString, ">>");
    EXPECT_EQ(set.List2ndItem, "MEMO");
    EXPECT_EQ(set.MailAddressOnly, "NO");

    EXPECT_EQ(SecondColumnCaption("ADDRESS"), "メールアドレス");
    EXPECT_EQ(SecondColumnCaption("MEMO"), "メモ");
    EXPECT_EQ(SecondColumnCaption("address"), "");
    EXPECT_EQ(SecondColumnCaption("NAME"), "");
}

TEST(PrefsFileWriteTest, FirstRunExampleBytes) {
    const std::string text =
        BuildPrefsText(Sjis("設定されていません"), "> ", TPrefs{}, {552, 7, 458, 447});
    EXPECT_EQ(text, "MailFolder: " + Sjis("設定されていません") +
                        "\r\n"
                        "QuoteString: '> '\r\n"
                        "List2ndItem: \r\n"
                        "MailAddressOnly: \r\n"
                        "WindowLocation: 552,7\r\n"
                        "WindowSize: 458,447\r\n"
                        "UseAppendMode: NO\r\n");
}

TEST(PrefsFileWriteTest, ValuesAreWrittenUnchangedAndReadBack) {
    TPrefs prefs{"", "", "MEMO", "NO", true};
    const std::string text = BuildPrefsText("D:\\a:b", "'x", prefs, {-4, -4, 455, 320});
    EXPECT_EQ(text,
              "MailFolder: D:\\a:b\r\n"
              "QuoteString: ''x'\r\n"
              "List2ndItem: MEMO\r\n"
              "MailAddressOnly: NO\r\n"
              "WindowLocation: -4,-4\r\n"
              "WindowSize: 455,320\r\n"
              "UseAppendMode: YES\r\n");

    TempDir dir;
    const fs::path path = dir.Write("quorvantel.ini", text);
    TPrefs back;
    RecordingWindow window;
    ReadPrefsFile(path, back, window, [](const EAppError&) {});
    EXPECT_EQ(back.MailFolder, "D:\\a:b");
    EXPECT_EQ(back.QuoteString, "'x");
    EXPECT_EQ(back.List2ndItem, "MEMO");
    EXPECT_EQ(back.MailAddressOnly, "NO");
    EXPECT_TRUE(back.UseAppendMode);
    EXPECT_EQ(window.calls, (std::vector<std::string>{"L-4", "T-4", "W455", "H320"}));
}

TEST(PrefsLocationTest, BesideTheExecutableUnlessItCannotBeWritten) {
    TempDir dir;
    const fs::path exeDir = dir.path() / "bin";
    const fs::path config = dir.path() / "config";
    fs::create_directories(exeDir);
    EXPECT_EQ(ChoosePrefsPath(exeDir, true, config), exeDir / "quorvantel.ini");
    EXPECT_EQ(ChoosePrefsPath(exeDir, false, config), config / "quorvantel" / "quorvantel.ini");
    dir.Write("bin/quorvantel.ini", "MailFolder: x\r\n");
    EXPECT_EQ(ChoosePrefsPath(exeDir, false, config), exeDir / "quorvantel.ini");
}

}  // namespace
