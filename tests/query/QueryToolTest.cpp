// Runs the built quorvantel-query on small generated mail folders and checks
// its exact output bytes and exit status.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/Encoding.h"
#include "core/GroupTree.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {

struct TRun {
    int status = -1;
    std::string out;
    std::string err;
};

// Spawns the tool with an argument list; stdout goes to a pipe, or to
// stdoutFile when one is given.
TRun RunQuery(const std::vector<std::string>& args, const char* stdoutFile = nullptr) {
    std::vector<std::string> argv0{QUORVANTEL_QUERY_BIN};
    argv0.insert(argv0.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : argv0) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);

    int outPipe[2];
    int errPipe[2];
    if (pipe2(outPipe, O_CLOEXEC) != 0 || pipe2(errPipe, O_CLOEXEC) != 0) {
        ADD_FAILURE() << "pipe failed";
        return {};
    }
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    if (stdoutFile) {
        posix_spawn_file_actions_addopen(&fa, 1, stdoutFile, O_WRONLY, 0);
    } else {
        posix_spawn_file_actions_adddup2(&fa, outPipe[1], 1);
    }
    posix_spawn_file_actions_adddup2(&fa, errPipe[1], 2);
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, argv[0], &fa, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&fa);
    close(outPipe[1]);
    close(errPipe[1]);
    TRun run;
    if (rc != 0) {
        ADD_FAILURE() << "posix_spawn failed: " << rc;
        close(outPipe[0]);
        close(errPipe[0]);
        return run;
    }
    pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
    std::string* sinks[2] = {&run.out, &run.err};
    int open = 2;
    while (open > 0) {
        if (poll(fds, 2, -1) < 0) {
            break;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd >= 0 && (fds[i].revents & (POLLIN | POLLHUP))) {
                char buf[4096];
                const ssize_t n = read(fds[i].fd, buf, sizeof buf);
                if (n > 0) {
                    sinks[i]->append(buf, static_cast<size_t>(n));
                } else {
                    close(fds[i].fd);
                    fds[i].fd = -1;
                    --open;
                }
            }
        }
    }
    int status = 0;
    waitpid(pid, &status, 0);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return run;
}

class TFolder {
  public:
    TFolder() {
        std::string tmpl = (fs::temp_directory_path() / "query-test-XXXXXX").string();
        if (!mkdtemp(tmpl.data())) {
            ADD_FAILURE() << "mkdtemp failed";
        }
        path_ = tmpl;
    }
    ~TFolder() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    TFolder(const TFolder&) = delete;
    TFolder& operator=(const TFolder&) = delete;

    std::string Path() const { return path_.string(); }
    void WriteRaw(const std::string& name, const std::string& bytes) const {
        std::ofstream(path_ / name, std::ios::binary) << bytes;
    }
    // UTF-8 text, each "\n" written as CR LF, stored as cp932.
    void Write(const std::string& name, const std::string& utf8) const {
        std::string crlf;
        for (char c : utf8) {
            crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
        }
        WriteRaw(name, Utf8ToCp932(crlf));
    }

  private:
    fs::path path_;
};

struct TCase {
    const char* title;
    const char* cards;              // UTF-8, "\n" for CR LF; nullptr: no card.dat
    const char* groups;             // the same for group.dat
    std::vector<std::string> args;  // "@" stands for the folder
    const char* expected;
};

std::vector<std::string> WithFolder(const std::vector<std::string>& args, const std::string& dir) {
    std::vector<std::string> out;
    for (const std::string& a : args) {
        out.push_back(a == "@" ? dir : a);
    }
    return out;
}

const char* const kNestedCards =
    "Nickname: a\nAddress: pa@example.jp\n.\n"
    "Nickname: b\nAddress: pb@example.jp\n.\n"
    "Nickname: c\nAddress: pc@example.com\n.\n";
const char* const kNestedGroups =
    "Name: \\\nEntry: g,\n  z\n.\n"
    "Name: g\nEntry: b,\n  a,\n  h\n.\n"
    "Name: h\nEntry: a,\n  c\n.\n";

class QueryOutput : public testing::TestWithParam<TCase> {};

TEST_P(QueryOutput, PrintsExactBytes) {
    const TCase& c = GetParam();
    TFolder dir;
    if (c.cards) {
        dir.Write("card.dat", c.cards);
    }
    if (c.groups) {
        dir.Write("group.dat", c.groups);
    }
    TRun run = RunQuery(WithFolder(c.args, dir.Path()));
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, c.expected);
    EXPECT_EQ(run.err, "");
}

// clang-format off
const TCase kCases[] = {
    {"NestedGroupSortedOnce", kNestedCards, kNestedGroups, {"recipients", "@", "g"},
     "\"a\"<pa@example.jp>; \"b\"<pb@example.jp>; \"c\"<pc@example.com>; \n"},
    {"NestedAddressOnly", kNestedCards, kNestedGroups, {"recipients", "--address-only", "@", "g"},
     "pa@example.jp; pb@example.jp; pc@example.com; \n"},
    {"NamesConcatenatedWithoutDedup", kNestedCards, kNestedGroups,
     {"recipients", "--address-only", "@", "h", "a", "b"},
     "pa@example.jp; pc@example.com; pa@example.jp; pb@example.jp; \n"},
    {"UnknownNameGivesEmptyItem", kNestedCards, kNestedGroups, {"recipients", "@", "nobody"},
     "; \n"},
    {"NamesAreCaseSensitive", kNestedCards, kNestedGroups, {"recipients", "@", "A", "G"},
     "; ; \n"},
    {"EmptyGroupGivesNothing", kNestedCards, "Name: e\n.\n", {"recipients", "@", "e"}, "\n"},
    {"TreeDepthFirstInMemberOrder", kNestedCards, kNestedGroups, {"tree", "@"},
     "\\\n  g\n    h\n"},
    {"MembersListsGroupsAndCards", kNestedCards, kNestedGroups, {"members", "@", "g"},
     "card\tb\tpb@example.jp\ncard\ta\tpa@example.jp\ngroup\th\t\n"},
    {"MembersOfUnknownGroupIsEmpty", kNestedCards, kNestedGroups, {"members", "@", "a"}, ""},
    {"RootMembersIncludeUnknownNames", kNestedCards, kNestedGroups, {"members", "@", "\\"},
     "group\tg\t\ncard\tz\t\n"},

    // Duplicates: first card of a nickname wins; a member twice gives one item;
    // a group in two groups gets a node under each.
    {"FirstOfDuplicateNicknamesWins",
     "Nickname: a\nAddress: first@example.jp\n.\nNickname: a\nAddress: second@example.jp\n.\n",
     "Name: g\nEntry: a,\n  a,\n  a\n.\n", {"recipients", "--address-only", "@", "g", "a"},
     "first@example.jp; first@example.jp; \n"},
    {"GroupInTwoGroupsTwiceInTree", kNestedCards,
     "Name: \\\nEntry: x,\n  y\n.\nName: x\nEntry: s\n.\nName: y\nEntry: s\n.\nName: s\nEntry: a\n.\n",
     {"tree", "@"}, "\\\n  x\n    s\n  y\n    s\n"},
    {"FirstOfDuplicateGroupsWins", kNestedCards,
     "Name: g\nEntry: a\n.\nName: g\nEntry: b\n.\n", {"members", "@", "g"},
     "card\ta\tpa@example.jp\n"},
    {"GroupBeatsCardInExpansion", "Nickname: g\nAddress: self@example.jp\n.\n" "Nickname: a\nAddress: pa@example.jp\n.\n",
     "Name: g\nEntry: a\n.\n", {"recipients", "--address-only", "@", "g"}, "pa@example.jp; \n"},

    // Cycles end: each group once per expansion, skipped when on the tree path.
    {"SelfContainingGroup", kNestedCards, "Name: \\\nEntry: g\n.\nName: g\nEntry: g,\n  a\n.\n",
     {"recipients", "--address-only", "@", "g"}, "pa@example.jp; \n"},
    {"TwoGroupCycleExpansion", kNestedCards,
     "Name: \\\nEntry: g1\n.\nName: g1\nEntry: g2,\n  a\n.\nName: g2\nEntry: g1,\n  b\n.\n",
     {"recipients", "--address-only", "@", "g2"}, "pa@example.jp; pb@example.jp; \n"},
    {"TwoGroupCycleTree", kNestedCards,
     "Name: \\\nEntry: g1,\n  g2\n.\nName: g1\nEntry: g2,\n  a\n.\nName: g2\nEntry: g1,\n  b\n.\n",
     {"tree", "@"}, "\\\n  g1\n    g2\n  g2\n    g1\n"},
    {"RootInsideItsOwnChild", kNestedCards, "Name: \\\nEntry: g\n.\nName: g\nEntry: \\,\n  a\n.\n",
     {"tree", "@"}, "\\\n  g\n"},

    // Letter case: equal items collapse (first member stays); order ignores case.
    {"AddressesDifferingInCaseCollapse",
     "Nickname: x\nAddress: Mail@Example.jp\n.\nNickname: y\nAddress: mail@example.JP\n.\n",
     "Name: g\nEntry: y,\n  x\n.\n", {"recipients", "--address-only", "@", "g"},
     "mail@example.JP; \n"},
    {"CaseIgnoredInOrder",
     "Nickname: b\nAddress: Bob@example.jp\n.\nNickname: a\nAddress: alice@example.jp\n.\n",
     "Name: g\nEntry: b,\n  a\n.\n", {"recipients", "--address-only", "@", "g"},
     "alice@example.jp; Bob@example.jp; \n"},
    {"KeysInOtherCaseIgnored", "nickname: a\nNickname: b\nADDRESS: no@example.jp\nAddress: pb@example.jp\n.\n",
     nullptr, {"recipients", "@", "b", "a"}, "\"b\"<pb@example.jp>; ; \n"},

    // Malformed and unusual files.
    {"ContinuationLinesJoinAddresses",
     "Nickname: a\nAddress: p1@example.jp,\n  p2@example.jp,\n\tp3@example.jp\n.\n", nullptr,
     {"recipients", "@", "a"}, "\"a\"<p1@example.jp;p2@example.jp;p3@example.jp>; \n"},
    {"ContinuationBeforeAddress", "Nickname: a\n  q@example.jp\nMemo: m\n.\n", nullptr,
     {"recipients", "--address-only", "@", "a"}, ";q@example.jp; \n"},
    {"LastRecordWithoutTerminatorDropped", "Nickname: a\nAddress: pa@example.jp\n.\nNickname: b\nAddress: pb@example.jp\n",
     "Name: g\nEntry: a,\n  b\n.\nName: h\nEntry: a\n", {"recipients", "@", "g", "h"},
     "; \"a\"<pa@example.jp>; ; \n"},
    {"EmptyCardAddressKeepsFrame", "Nickname: a\n.\n", nullptr, {"recipients", "@", "a"},
     "\"a\"<>; \n"},
    {"EntryLosesOneComma", kNestedCards, "Name: g\nEntry: a,,\n  ,,b,,\n  a, b\n.\n",
     {"members", "@", "g"}, "card\ta,\t\ncard\tb\tpb@example.jp\ncard\ta, b\t\n"},
    {"DotLinesEndRecords", "Nickname: a\nAddress: pa@example.jp\n...more\n  .\n", nullptr,
     {"recipients", "@", "a", ""}, "\"a\"<pa@example.jp>; \"\"<>; \n"},
    {"NoGroupFileTreeIsRootOnly", kNestedCards, nullptr, {"tree", "@"}, "\\\n"},
    {"EmptyFolderTreeIsRootOnly", nullptr, nullptr, {"tree", "@"}, "\\\n"},

    // Japanese text: UTF-8 output by default, cp932 bytes on request.
    {"JapaneseNames", "Nickname: 佐藤 花子\nAddress: hanako@example.jp\nMemo: 予約\n.\n",
     "Name: \\\nEntry: 家族\n.\nName: 家族\nEntry: 佐藤 花子\n.\n", {"recipients", "@", "家族"},
     "\"佐藤 花子\"<hanako@example.jp>; \n"},
    {"JapaneseTree", "Nickname: 佐藤 花子\n.\n",
     "Name: \\\nEntry: 家族\n.\nName: 家族\nEntry: 佐藤 花子,\n  友人\n.\nName: 友人\n.\n", {"tree", "@"},
     "\\\n  家族\n    友人\n"},
    {"NameOutsideCp932IsUnknown", "Nickname: a?\nAddress: pa@example.jp\n.\n", nullptr,
     {"recipients", "@", "a\xF0\x9F\x98\x80"}, "; \n"},
    {"DoubleDashEndsOptions", "Nickname: --cp932\nAddress: p@example.jp\n.\n", nullptr,
     {"recipients", "--address-only", "--", "@", "--cp932"}, "p@example.jp; \n"},

    // mutt: status line, then address, name, memo; case ignored per character.
    {"MuttMatchesNameAddressMemo",
     "Nickname: Alice\nAddress: alice@example.jp\nMemo: team\n.\n"
     "Nickname: Bob\nAddress: BOB@EXAMPLE.COM\nMemo: ALICE's boss\n.\n"
     "Nickname: Carol\nAddress: carol@example.jp\n.\n",
     nullptr, {"mutt", "@", "aLiCe"},
     "quorvantel-query: 2 entries found\nalice@example.jp\tAlice\tteam\n"
     "BOB@EXAMPLE.COM\tBob\tALICE's boss\n"},
    {"MuttFullWidthLettersFold", "Nickname: ＡＢＣ商事\nAddress: abc@example.jp\n.\n", nullptr,
     {"mutt", "@", "ａｂｃ"}, "quorvantel-query: 1 entry found\nabc@example.jp\tＡＢＣ商事\t\n"},
    // 衛 is 89 71 and 越 89 7A in cp932: their second bytes are "q" and "z".
    {"MuttNoMatchOnSecondByte", "Nickname: 衛\nAddress: x@example.jp\nMemo: 越\n.\n", nullptr,
     {"mutt", "@", "Q"}, "quorvantel-query: 0 entries found\n"},
    {"MuttNoMatchOnSecondByteLower", "Nickname: 衛\nAddress: x@example.jp\nMemo: 越\n.\n", nullptr,
     {"mutt", "@", "z"}, "quorvantel-query: 0 entries found\n"},
    {"MuttBackslashNotInsideKanji", "Nickname: 予定\nAddress: x@example.jp\n.\n", nullptr,
     {"mutt", "@", "\\"}, "quorvantel-query: 0 entries found\n"},
    {"MuttJapanesePattern", "Nickname: 佐藤\nAddress: s@example.jp\n.\nNickname: 加藤\nAddress: k@example.jp\n.\n",
     nullptr, {"mutt", "@", "藤"},
     "quorvantel-query: 2 entries found\ns@example.jp\t佐藤\t\nk@example.jp\t加藤\t\n"},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Folders, QueryOutput, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<TCase>& info) {
                             return std::string(info.param.title);
                         });

TEST(QueryTool, ControlBytesBecomeSpacesExceptInTheRecipientText) {
    TFolder dir;
    // A tab and a lone LF inside values, a DEL in a memo: the line format must hold.
    dir.WriteRaw("card.dat",
                 "Nickname: a\tb\r\nAddress: x\ny@example.jp\r\nMemo: m\x7fn\x01\r\n.\r\n");
    dir.WriteRaw("group.dat", "Name: \\\r\nEntry: g\tx\r\n.\r\nName: g\tx\r\nEntry: a\tb\r\n.\r\n");
    // The recipient text is the buttons' text byte for byte.
    EXPECT_EQ(RunQuery({"recipients", dir.Path(), "a\tb"}).out, "\"a\tb\"<x\ny@example.jp>; \n");
    EXPECT_EQ(RunQuery({"tree", dir.Path()}).out, "\\\n  g x\n");
    EXPECT_EQ(RunQuery({"members", dir.Path(), "g\tx"}).out, "card\ta b\tx y@example.jp\n");
    EXPECT_EQ(RunQuery({"mutt", dir.Path(), "y@"}).out,
              "quorvantel-query: 1 entry found\nx y@example.jp\ta b\tm n \n");
}

TEST(QueryTool, Cp932OptionWritesBookBytes) {
    TFolder dir;
    const std::string card = "\x8d\xb2\x93\xa1";   // 佐藤 in cp932
    const std::string group = "\x89\xc6\x91\xb0";  // 家族
    dir.WriteRaw("card.dat", "Nickname: " + card + "\r\nAddress: s@example.jp\r\n.\r\n");
    dir.WriteRaw("group.dat", "Name: \\\r\nEntry: " + group + "\r\n.\r\nName: " + group +
                                  "\r\nEntry: " + card + "\r\n.\r\n");
    EXPECT_EQ(RunQuery({"recipients", "--cp932", dir.Path(), "家族", "佐藤"}).out,
              "\"" + card + "\"<s@example.jp>; \"" + card + "\"<s@example.jp>; \n");
    EXPECT_EQ(RunQuery({"tree", "--cp932", dir.Path()}).out, "\\\n  " + group + "\n");
    EXPECT_EQ(RunQuery({"members", "--cp932", dir.Path(), "家族"}).out,
              "card\t" + card + "\ts@example.jp\n");
}

TEST(QueryTool, LfOnlyFileHasNoRecords) {
    TFolder dir;
    dir.WriteRaw("card.dat", "Nickname: a\nAddress: pa@example.jp\n.\n");
    EXPECT_EQ(RunQuery({"recipients", dir.Path(), "a"}).out, "; \n");
}

TEST(QueryTool, CtrlZEndsFile) {
    TFolder dir;
    dir.WriteRaw("card.dat",
                 "Nickname: a\r\nAddress: pa@example.jp\r\n.\r\n\x1a"
                 "Nickname: b\r\nAddress: pb@example.jp\r\n.\r\n");
    EXPECT_EQ(RunQuery({"recipients", "--address-only", dir.Path(), "a", "b"}).out,
              "pa@example.jp; ; \n");
}

TEST(QueryTool, TreeStopsAtTheWindowsBoundsWithAWarning) {
    struct Case {
        const char* title;
        std::string groups;
        size_t lines;
    };
    // Cross-linked: 2^21 paths; a chain deeper than the deepest level shown.
    std::string wide = "Name: \\\r\nEntry: a0\r\nEntry: b0\r\n.\r\n";
    for (int level = 0; level < 20; ++level) {
        const std::string next = std::to_string(level + 1);
        for (const char* side : {"a", "b"}) {
            wide += "Name: " + std::string(side) + std::to_string(level) + "\r\nEntry: a" + next +
                    "\r\nEntry: b" + next + "\r\n.\r\n";
        }
    }
    std::string deep = "Name: \\\r\nEntry: g0\r\n.\r\n";
    for (int i = 0; i < 1500; ++i) {
        deep +=
            "Name: g" + std::to_string(i) + "\r\nEntry: g" + std::to_string(i + 1) + "\r\n.\r\n";
    }
    for (const Case& c :
         {Case{"wide", wide, kMaxTreeNodes}, Case{"deep", deep, kMaxTreeDepth + 1}}) {
        TFolder dir;
        dir.WriteRaw("group.dat", c.groups);
        const TRun run = RunQuery({"tree", dir.Path()});
        EXPECT_EQ(run.status, 0) << c.title;
        EXPECT_EQ(static_cast<size_t>(std::count(run.out.begin(), run.out.end(), '\n')), c.lines)
            << c.title;
        EXPECT_EQ(run.err, "quorvantel-query: グループの入れ子が多すぎるため、ツリーには最初の " +
                               std::to_string(c.lines) + " 個だけを表示しています\n")
            << c.title;
    }
    // Below the bounds: no warning.
    TFolder dir;
    dir.WriteRaw("group.dat", "Name: \\\r\nEntry: g\r\n.\r\nName: g\r\nEntry: g\r\n.\r\n");
    const TRun run = RunQuery({"tree", dir.Path()});
    EXPECT_EQ(run.out, "\\\n  g\n");
    EXPECT_EQ(run.err, "");
}

TEST(QueryTool, MissingFolderIsEmptyBook) {
    TFolder dir;
    dir.WriteRaw("plainfile", "Nickname: a\r\n.\r\n");
    for (const std::string& folder : {dir.Path() + "/absent", dir.Path() + "/plainfile"}) {
        TRun tree = RunQuery({"tree", folder});
        EXPECT_EQ(tree.status, 0);
        EXPECT_EQ(tree.out, "");
        EXPECT_EQ(RunQuery({"recipients", folder, "a", "b"}).out, "; ; \n");
        EXPECT_EQ(RunQuery({"members", folder, "\\"}).out, "");
        EXPECT_EQ(RunQuery({"mutt", folder, ""}).out, "quorvantel-query: 0 entries found\n");
    }
}

TEST(QueryTool, BadUsageExitsTwo) {
    const std::vector<std::vector<std::string>> bad = {
        {},
        {"unknown", "/tmp"},
        {"tree"},
        {"tree", "/tmp", "extra"},
        {"recipients", "/tmp"},
        {"members", "/tmp"},
        {"mutt", "/tmp", "a", "b"},
        {"tree", "--address-only", "/tmp"},
        {"recipients", "--bogus", "/tmp", "a"},
    };
    for (const auto& args : bad) {
        TRun run = RunQuery(args);
        EXPECT_EQ(run.status, 2) << (args.empty() ? "" : args[0]);
        EXPECT_EQ(run.out, "");
        EXPECT_NE(run.err.find("usage: quorvantel-query"), std::string::npos);
    }
    TRun help = RunQuery({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("usage: quorvantel-query"), std::string::npos);
}

TEST(QueryTool, ReadErrorExitsOne) {
    TFolder dir;
    // A regular file whose read fails: the process's own memory at offset 0.
    fs::create_symlink("/proc/self/mem", fs::path(dir.Path()) / "card.dat");
    TRun run = RunQuery({"recipients", dir.Path(), "a"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find("quorvantel-query: "), std::string::npos);
}

TEST(QueryTool, WriteErrorExitsOne) {
    if (!fs::exists("/dev/full")) {
        GTEST_SKIP() << "no /dev/full";
    }
    TFolder dir;
    dir.Write("card.dat", kNestedCards);
    TRun run = RunQuery({"recipients", dir.Path(), "a"}, "/dev/full");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("quorvantel-query: "), std::string::npos);
}

TEST(QueryTool, SampleMailFolder) {
    const std::string folder = QUORVANTEL_EXAMPLES_DIR "/mailbox";
    EXPECT_EQ(RunQuery({"tree", folder}).out,
              "\\\n  家族\n  仕事\n    開発部\n      基盤チーム\n    取引先\n"
              "  友人\n    山歩きの会\n  趣味\n    山歩きの会\n");
    EXPECT_EQ(RunQuery({"recipients", "--address-only", folder, "取引先"}).out,
              "ai.shimizu@aozora-design.example.com; "
              "hiroshi.tanaka@kitakaze.example.com;h-tanaka@mobile.example.jp; "
              "kentaro.mori@hoshino-print.example.jp;k-mori@hoshino-print.example.jp;"
              "eigyo@hoshino-print.example.jp; yuko.ikeda@kitakaze.example.com; \n");
}

}  // namespace
