// quorvantel.exe itself, driven from another process inside Wine as a person
// would drive it: started from a scratch directory, found by its window
// classes, worked through its controls' messages, the clipboard and the
// keyboard (ExeDriver.h). The fake Outlook of fake_outlook/ is its mail client.
#include <windows.h>

#include <commctrl.h>
#include <dlgs.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "core/Encoding.h"
#include "core/TextUtf.h"
#include "tests/win32/ExeDriver.h"
#include "tests/win32/FakeOutlookLog.h"
#include "tests/win32/WineTest.h"
#include "ui/FormDescription.h"
#include "ui/Version.h"
#include "ui/win32/ControlIds.h"

namespace {

using namespace exedriver;
namespace fs = std::filesystem;

// The stand-ins (the fake Outlook, the mailto handler) write their logs
// beside themselves, and this program runs in several prefixes at once: each
// run takes copies of them into a folder of its own.
fs::path StandIns() {
    static const fs::path dir = [] {
        const fs::path d = ScratchRoot() / "stand-ins";
        fs::create_directories(d);
        for (const char* file :
             {"fake_outlook.dll", "fake_outlook.exe", "fake_outlook.tlb", "record_mailto.exe"}) {
            fs::copy_file(TestDir() / file, d / file, fs::copy_options::overwrite_existing);
        }
        return d;
    }();
    return dir;
}

const fs::path kFakeLog = StandIns() / "fake_outlook.log";
const fs::path kFakeControl = StandIns() / "fake_outlook.ctl";
const fs::path kFakeDll = StandIns() / "fake_outlook.dll";

// ---------------------------------------------------------------------------
// The clipboard, from the driver's side. Setting data needs an owner window.

HWND ClipboardOwner() {
    static const HWND owner = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, nullptr, nullptr,
                                              GetModuleHandleA(nullptr), nullptr);
    return owner;
}

bool OpenClipboardSoon() {
    return WaitFor([] { return OpenClipboard(ClipboardOwner()) != FALSE; });
}

// Replaces the clipboard by CF_UNICODETEXT (UTF-8 here), or by nothing at all.
void SetClipboard(const std::string* utf8) {
    ASSERT_TRUE(OpenClipboardSoon());
    EmptyClipboard();
    if (utf8 != nullptr) {
        const std::wstring text = ToWide(*utf8);
        HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
        auto* p = static_cast<wchar_t*>(GlobalLock(memory));
        std::copy(text.begin(), text.end(), p);
        p[text.size()] = L'\0';
        GlobalUnlock(memory);
        EXPECT_NE(SetClipboardData(CF_UNICODETEXT, memory), nullptr);
    }
    CloseClipboard();
}

// The CF_UNICODETEXT text up to the NUL, as UTF-8; "(none)" when the
// clipboard has no text.
std::string ClipboardText() {
    if (!OpenClipboardSoon()) {
        ADD_FAILURE() << "clipboard not opened";
        return {};
    }
    std::string text = "(none)";
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        const auto* p = static_cast<const wchar_t*>(GlobalLock(data));
        text = FromWide(std::wstring_view(p, wcsnlen(p, GlobalSize(data) / sizeof(wchar_t))));
        GlobalUnlock(data);
    }
    CloseClipboard();
    return text;
}

// ---------------------------------------------------------------------------
// The fake Outlook: its registration and its log.

void RegisterFake(bool on) {
    RegisterFakeOutlookDll(kFakeDll, on);
}

using TCall = TFakeCall;

// What the program called, in order.
std::vector<TCall> Calls() {
    return ProgramCalls(ReadFakeOutlookLog(kFakeLog));
}

// ---------------------------------------------------------------------------

class ExeTest : public testing::Test {
  protected:
    static void SetUpTestSuite() { RegisterFake(true); }
    static void TearDownTestSuite() {
        RegisterFake(false);
        std::error_code ignored;
        fs::remove_all(ScratchRoot(), ignored);
    }
    void SetUp() override {
        fs::remove(kFakeLog);
        fs::remove(kFakeControl);
    }
    void TearDown() override { fs::remove(kFakeControl); }
};

// ---------------------------------------------------------------------------
// Start-up with and without a preferences file, and the file written at the end.

TEST_F(ExeTest, StartUpAndThePreferencesWrittenOnClose) {
    enum class TClose { Button, CloseBox };
    struct TCase {
        const char* what;
        std::vector<std::string> prefs;  // UTF-8 lines; "<mailbox>" is replaced; none: no file
        std::string edit1, edit2;        // "<mailbox>" is replaced
        RECT bounds;
        std::string column1;
        size_t nodes;
        // Before closing: a new quote mark and bounds, as a user would leave them.
        std::string newEdit2;
        RECT newBounds;
        TClose close;
        std::vector<std::string> saved;
    };
    const TCase cases[] = {
        {"no file",
         {},
         "設定されていません",
         "> ",
         {552, 7, 552 + 458, 7 + 447},
         "",
         0,
         "",
         {},
         TClose::CloseBox,
         {"MailFolder: 設定されていません", "QuoteString: '> '",
          "List2ndItem: ", "MailAddressOnly: ", "WindowLocation: 552,7", "WindowSize: 458,447",
          "UseAppendMode: NO"}},
        {"every key, in any order and case",
         {"WindowSize: 600,500", "List2ndItem: memo", "MailFolder: <mailbox>", "QuoteString: '＞ '",
          "MailAddressOnly: no", "WindowLocation: 40,30", "UseAppendMode: yes"},
         "<mailbox>",
         "＞ ",
         {40, 30, 640, 530},
         "メモ",
         kSampleTree.size(),
         "",
         {},
         TClose::Button,
         {"MailFolder: <mailbox>", "QuoteString: '＞ '", "List2ndItem: MEMO", "MailAddressOnly: NO",
          "WindowLocation: 40,30", "WindowSize: 600,500", "UseAppendMode: YES"}},
        {"only the folder: the defaults, and what the user changed",
         {"MailFolder: <mailbox>"},
         "<mailbox>",
         "> ",
         {552, 7, 552 + 458, 7 + 447},
         "メールアドレス",
         kSampleTree.size(),
         "》",
         {-4, 100, -4 + 700, 100 + 380},
         TClose::CloseBox,
         {"MailFolder: <mailbox>", "QuoteString: '》'", "List2ndItem: ADDRESS",
          "MailAddressOnly: YES", "WindowLocation: -4,100", "WindowSize: 700,380",
          "UseAppendMode: NO"}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.what);
        const fs::path dir = Scratch("startup");
        const std::string mailbox = Utf8(dir / "mailbox");
        auto placed = [&](std::string text) {
            const size_t at = text.find("<mailbox>");
            return at == std::string::npos ? text : text.replace(at, 9, mailbox);
        };
        auto placedAll = [&](const std::vector<std::string>& lines) {
            std::vector<std::string> out;
            for (const std::string& line : lines) {
                out.push_back(placed(line));
            }
            return out;
        };
        const fs::path ini = dir / "quorvantel.ini";
        if (!c.prefs.empty()) {
            WriteBytes(ini, CrLfLines(placedAll(c.prefs)));
        }

        TProgram program(dir);
        ASSERT_TRUE(program.Started());
        RECT bounds{};
        GetWindowRect(program.Main(), &bounds);
        EXPECT_EQ(bounds.left, c.bounds.left);
        EXPECT_EQ(bounds.top, c.bounds.top);
        EXPECT_EQ(bounds.right, c.bounds.right);
        EXPECT_EQ(bounds.bottom, c.bounds.bottom);
        EXPECT_EQ(Text(program.Panel(IDC_EDIT1)), placed(c.edit1));
        EXPECT_EQ(Text(program.Panel(IDC_EDIT2)), c.edit2);
        EXPECT_EQ(program.ColumnCaption(0), "名前");
        EXPECT_EQ(program.ColumnCaption(1), c.column1);
        EXPECT_EQ(program.Nodes().size(), c.nodes);
        EXPECT_EQ(program.SelectedNode(), -1) << "a read selects nothing";
        EXPECT_EQ(Send(program.List(), LVM_GETITEMCOUNT), 0);
        EXPECT_TRUE(Checked(program.Recipients(IDC_RB_NEWWIN)));
        EXPECT_FALSE(Checked(program.Recipients(IDC_RB_EXISTWIN)));
        EXPECT_TRUE(IsWindowEnabled(program.Recipients(IDC_RB_EXISTWIN)));
        EXPECT_EQ(Text(program.Panel(IDC_VER_LABEL)), std::string(kVersionText) + " by");

        if (!c.newEdit2.empty()) {
            SetText(program.Panel(IDC_EDIT2), c.newEdit2);
            const RECT& b = c.newBounds;
            SetWindowPos(program.Main(), nullptr, b.left, b.top, b.right - b.left, b.bottom - b.top,
                         SWP_NOZORDER | SWP_NOACTIVATE);
        }
        if (c.close == TClose::Button) {
            PostMessageA(program.Panel(IDC_B_QUIT), BM_CLICK, 0, 0);
        } else {
            PostMessageA(program.Main(), WM_CLOSE, 0, 0);
        }
        EXPECT_TRUE(program.EndedCleanly());
        EXPECT_EQ(ReadBytes(ini), CrLfLines(placedAll(c.saved)));
    }
}

// ---------------------------------------------------------------------------
// Both windows drawn as their forms describe them: each control found by its
// ID inside its container, at its design bounds (the edges its anchors pin,
// for those the layout moves), with its text; Tab visits the description's chain.

void ExpectDrawnAsDescribed(HWND window, const TFormDescription& design) {
    const std::function<HWND(const std::string&)> find = [&](const std::string& name) -> HWND {
        if (name.empty()) {
            return window;
        }
        const HWND parent = find(design.Control(name).Parent);
        return parent ? GetDlgItem(parent, ControlId(design.Name, name)) : nullptr;
    };
    RECT outer{};
    GetWindowRect(window, &outer);
    EXPECT_EQ(outer.left, design.Bounds.Left);
    EXPECT_EQ(outer.top, design.Bounds.Top);
    EXPECT_EQ(outer.right - outer.left, design.Bounds.Width);
    EXPECT_EQ(outer.bottom - outer.top, design.Bounds.Height);
    for (const TControlDescription& c : design.Controls) {
        if (c.Kind == TControlKind::ImageList || c.Kind == TControlKind::PopupMenu ||
            c.Kind == TControlKind::MenuItem) {
            continue;
        }
        SCOPED_TRACE(design.Name + " " + c.Name);
        const HWND control = find(c.Name);
        ASSERT_NE(control, nullptr);
        RECT r{};
        GetWindowRect(control, &r);
        MapWindowPoints(HWND_DESKTOP, GetParent(control), reinterpret_cast<POINT*>(&r), 2);
        if (c.Anchors & akLeft) {
            EXPECT_EQ(r.left, c.Bounds.Left);
        }
        if (c.Anchors & akTop) {
            EXPECT_EQ(r.top, c.Bounds.Top);
        }
        if (c.Kind == TControlKind::Label) {
            EXPECT_GT(r.right - r.left, 0);
            EXPECT_GT(r.bottom - r.top, 0);
        } else if (!(c.Anchors & (akRight | akBottom))) {
            EXPECT_EQ(r.right - r.left, c.Bounds.Width);
            EXPECT_EQ(r.bottom - r.top, c.Bounds.Height);
        }
        // Creation replaces the version text.
        if (c.Kind != TControlKind::ListView && c.Kind != TControlKind::TreeView &&
            c.Kind != TControlKind::Panel && c.Name != "ver_label") {
            EXPECT_EQ(Text(control), FromSj(c.Caption));
        }
    }
    // A group of radio buttons is one stop: its checked button.
    std::vector<HWND> stops;
    for (const TControlDescription* c : TabChain(design)) {
        const HWND control = find(c->Name);
        if (c->Kind != TControlKind::RadioButton || Checked(control)) {
            stops.push_back(control);
        }
    }
    for (size_t i = 0; i < stops.size(); ++i) {
        EXPECT_EQ(GetNextDlgTabItem(window, stops[i], FALSE), stops[(i + 1) % stops.size()]) << i;
    }
}

TEST_F(ExeTest, FaceDrawsTheFormsAsDescribed) {
    const fs::path dir = Scratch("form");
    TProgram program(dir);
    ASSERT_TRUE(program.Started());
    ExpectDrawnAsDescribed(program.Main(), Form1Description());
    EXPECT_EQ(program.ColumnCaption(0), FromSj(Form1Description().Control("ListView1").Columns[0]));

    // The properties dialog exists, hidden, from the start.
    HWND properties = nullptr;
    WaitFor([&] {
        properties = FindWindowA("TForm2", nullptr);
        return properties != nullptr;
    });
    ASSERT_NE(properties, nullptr);
    DWORD owner = 0;
    GetWindowThreadProcessId(properties, &owner);
    EXPECT_EQ(owner, program.Pid());
    EXPECT_EQ(Text(properties), FromSj(Form2Description().Caption));
    ExpectDrawnAsDescribed(properties, Form2Description());

    PostMessageA(program.Main(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(program.EndedCleanly());
}

// ---------------------------------------------------------------------------
// The tree and the list of the sample folder.

// On a 150 % screen (LogPixels 144, as Wine keeps it) the forms are drawn at
// 1.5 times their design, the way a form scales itself to the screen.
TEST_F(ExeTest, At144DpiTheFormsScale) {
    HKEY desktop = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, nullptr, 0,
                              KEY_READ | KEY_WRITE, nullptr, &desktop, nullptr),
              ERROR_SUCCESS);
    DWORD old = 0, size = sizeof old, type = 0;
    const bool had = RegQueryValueExW(desktop, L"LogPixels", nullptr, &type,
                                      reinterpret_cast<BYTE*>(&old), &size) == ERROR_SUCCESS;
    const DWORD dpi = 144;
    ASSERT_EQ(RegSetValueExW(desktop, L"LogPixels", 0, REG_DWORD,
                             reinterpret_cast<const BYTE*>(&dpi), sizeof dpi),
              ERROR_SUCCESS);
    {
        const fs::path dir = Scratch("dpi144");
        TProgram program(dir);
        ASSERT_TRUE(program.Started());
        ExpectDrawnAsDescribed(program.Main(), ScaleForm(Form1Description(), 144));
        RECT outer{};
        GetWindowRect(program.Main(), &outer);
        EXPECT_EQ(outer.right - outer.left, ScaleForm(Form1Description(), 144).Bounds.Width);
        PostMessageA(program.Main(), WM_CLOSE, 0, 0);
        EXPECT_TRUE(program.EndedCleanly());
    }
    if (had) {
        RegSetValueExW(desktop, L"LogPixels", 0, type, reinterpret_cast<const BYTE*>(&old), size);
    } else {
        RegDeleteValueW(desktop, L"LogPixels");
    }
    RegCloseKey(desktop);
}

TEST_F(ExeTest, TreeAndListOfTheSampleFolder) {
    const fs::path dir = Scratch("tree");
    WriteBytes(dir / "quorvantel.ini", CrLfLines({"MailFolder: " + Utf8(dir / "mailbox")}));
    TProgram program(dir);
    ASSERT_TRUE(program.Started());
    EXPECT_EQ(program.Nodes(), kSampleTree);

    struct TCase {
        size_t node;
        std::vector<TProgram::TRow> rows;
    };
    const TCase cases[] = {
        {0, {{"家族", "", 0}, {"仕事", "", 0}, {"友人", "", 0}, {"趣味", "", 0}}},
        {kNodeFriends,
         {{"中村 美咲", "misaki.nakamura@example.com", 1},
          {"小川 大介", "daisuke.ogawa@example.jp", 1},
          {"岡田 真理", "mari.okada@example.com", 1},
          {"藤田 修", "osamu.fujita@example.jp", 1},
          {"鈴木 一郎", "", 1},  // no card
          {"山歩きの会", "", 0}}},
        {5,  // 取引先: several addresses on one card
         {{"田中 宏", "hiroshi.tanaka@kitakaze.example.com;h-tanaka@mobile.example.jp", 1},
          {"池田 裕子", "yuko.ikeda@kitakaze.example.com", 1},
          {"清水 愛", "ai.shimizu@aozora-design.example.com", 1},
          {"森 健太郎",
           "kentaro.mori@hoshino-print.example.jp;k-mori@hoshino-print.example.jp;"
           "eigyo@hoshino-print.example.jp",
           1}}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(kSampleTree[c.node].text);
        program.SelectNode(c.node);
        EXPECT_EQ(program.SelectedNode(), static_cast<int>(c.node));
        EXPECT_EQ(program.Rows(), c.rows);
    }
}

// A tree taller than its view opens at its top, after the start and after
// every read, with nothing selected.
TEST_F(ExeTest, TheTreeOpensAtItsTop) {
    const fs::path dir = Scratch("top");
    WriteBytes(dir / "quorvantel.ini",
               CrLfLines({"MailFolder: " + Utf8(dir / "mailbox"), "WindowSize: 455,320"}));
    TProgram program(dir);
    ASSERT_TRUE(program.Started());
    const HWND tree = program.Tree();
    ASSERT_LT(Send(tree, TVM_GETVISIBLECOUNT), static_cast<LRESULT>(kSampleTree.size()))
        << "the tree is taller than its view";
    for (int read = 0; read < 2; ++read) {
        SCOPED_TRACE(read);
        if (read == 1) {
            Send(tree, WM_VSCROLL, SB_BOTTOM);
            Send(program.Panel(IDC_B_READ), BM_CLICK);
        }
        EXPECT_EQ(Send(tree, TVM_GETNEXTITEM, TVGN_FIRSTVISIBLE),
                  Send(tree, TVM_GETNEXTITEM, TVGN_ROOT));
        EXPECT_EQ(program.SelectedNode(), -1);
    }
    PostMessageW(program.Main(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(program.EndedCleanly());
}

// ---------------------------------------------------------------------------
// The list's double-click and Ctrl+P with the properties window.

TEST_F(ExeTest, DoubleClickAndCtrlPOnTheList) {
    const fs::path dir = Scratch("list");
    WriteBytes(dir / "quorvantel.ini", CrLfLines({"MailFolder: " + Utf8(dir / "mailbox")}));
    TProgram program(dir);
    ASSERT_TRUE(program.Started());
    program.SelectNode(kNodeDevelopment);
    ASSERT_EQ(Send(program.List(), LVM_GETITEMCOUNT), 4);
    ASSERT_TRUE(TopWindows(program.Pid(), "TForm2").empty()) << "hidden until asked for";

    struct TCase {
        int row;
        std::string caption;
        std::vector<std::string> boxes;  // NickName, Address, Tel, Org, OrgUnit, Memo
    };
    // The second while the window is still open: it is filled anew.
    const TCase cases[] = {
        {0,
         "伊藤 誠のプロパティ",
         {"伊藤 誠", "makoto.ito@minato-is.example.jp", "03-5412-7700",
          "株式会社みなと情報システム", "開発部", "部長 内線: 2101"}},
        {2,
         "小林 恵のプロパティ",
         {"小林 恵", "megumi.kobayashi@minato-is.example.jp", "", "株式会社みなと情報システム",
          "開発部 第一課", ""}},
        {3, "基盤チームのプロパティ", {"基盤チーム", "", "", "", "", ""}},
    };
    HWND properties = nullptr;
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.caption);
        program.ClickRow(c.row, false);
        ASSERT_TRUE(WaitFor([&] { return program.Focus() == program.List(); }));
        ASSERT_TRUE(WaitFor([&] {
            return Send(program.List(), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED) ==
                   c.row;
        }));
        SetForegroundWindow(program.Main());
        ASSERT_TRUE(WaitFor([&] { return GetForegroundWindow() == program.Main(); }));
        INPUT keys[4] = {};
        const WORD codes[4] = {VK_CONTROL, 'P', 'P', VK_CONTROL};
        for (int i = 0; i < 4; ++i) {
            keys[i].type = INPUT_KEYBOARD;
            keys[i].ki.wVk = codes[i];
            keys[i].ki.dwFlags = i < 2 ? 0 : KEYEVENTF_KEYUP;
        }
        ASSERT_EQ(SendInput(4, keys, sizeof(INPUT)), 4u);
        properties = WaitForWindow(program.Pid(), "TForm2", c.caption);
        ASSERT_NE(properties, nullptr);
        // Shown from the keyboard, it takes the keyboard: one of its boxes has the focus.
        EXPECT_TRUE(WaitFor([&] { return IsChild(properties, program.Focus()) != FALSE; }));
        for (int i = 0; i < 6; ++i) {
            EXPECT_EQ(Text(GetDlgItem(properties, IDC_F2_NICKNAME + i)), c.boxes[i]) << i;
        }
    }
    EXPECT_EQ(Text(GetDlgItem(properties, IDC_F2_BUTTON1)), "閉じる");
    PostMessageA(GetDlgItem(properties, IDC_F2_BUTTON1), BM_CLICK, 0, 0);
    EXPECT_TRUE(WaitFor([&] { return !IsWindowVisible(properties); }));

    // A card's double-click does nothing; a group's moves the tree to it. The
    // clicks are handled in order, so once the tree has moved the first is done.
    program.ClickRow(0, true);
    program.ClickRow(3, true);
    EXPECT_TRUE(WaitFor([&] { return program.SelectedNode() == static_cast<int>(kNodeTeam); }));
    EXPECT_EQ(program.Rows().size(), 4u);
    EXPECT_EQ(program.Rows().at(0).caption, "加藤 翔太");
    EXPECT_FALSE(IsWindowVisible(properties)) << "a double-click opens no properties";
}

// ---------------------------------------------------------------------------
// The recipient buttons into the fake Outlook.

struct TRecipientRun {
    const char* what;
    std::vector<std::string> prefs;  // after the MailFolder line
    size_t node;
    std::vector<int> rows;
    std::string recipients;  // what the selection expands to
    bool append;
};

TEST_F(ExeTest, RecipientButtonsIntoOutlook) {
    const TRecipientRun runs[] = {
        {"replace, bare addresses",
         {"MailAddressOnly: YES"},
         kNodeDevelopment,
         {0, 3},  // 伊藤 誠 and the group 基盤チーム
         "makoto.ito@minato-is.example.jp; aya.yoshida@minato-is.example.jp; "
         "ryo.matsumoto@minato-is.example.jp; shota.kato@minato-is.example.jp; "
         "takuya.yamamoto@minato-is.example.jp; ",
         false},
        {"append, quoted names",
         {"MailAddressOnly: NO", "UseAppendMode: YES"},
         kNodeFamily,
         {0, 3},  // 佐藤 美和子 and 佐藤 正雄, who has no address
         "\"佐藤 美和子\"<miwako.sato@example.jp>; \"佐藤 正雄\"<>; ",
         true},
    };
    // The item window open from the start: MailItem#1 in Inspector#2. Every
    // new item takes the next number, its window the one after.
    const std::string oldFields[3] = {"old-to@example.jp", "old-cc@example.jp", ""};
    WriteBytes(kFakeControl,
               "open\tmail\t" + oldFields[0] + "\t" + oldFields[1] + "\t" + oldFields[2] + "\n");
    struct TPress {
        int button;
        int field;  // 0 To, 1 CC, 2 BCC
        bool newWindow;
    };
    const char* const fieldNames[3] = {"To", "CC", "BCC"};
    const TPress presses[] = {
        {IDC_B_TO, 0, false}, {IDC_B_CC, 1, false}, {IDC_B_BCC, 2, false},
        {IDC_B_TO, 0, true},  {IDC_B_CC, 1, true},  {IDC_B_BCC, 2, true},
    };
    for (const TRecipientRun& run : runs) {
        SCOPED_TRACE(run.what);
        fs::remove(kFakeLog);
        const fs::path dir = Scratch("recipients");
        std::vector<std::string> prefs = {"MailFolder: " + Utf8(dir / "mailbox")};
        prefs.insert(prefs.end(), run.prefs.begin(), run.prefs.end());
        WriteBytes(dir / "quorvantel.ini", CrLfLines(prefs));
        TProgram program(dir);
        ASSERT_TRUE(program.Started());
        program.SelectNode(run.node);

        // Nothing selected: Outlook is not even contacted.
        Send(program.Recipients(IDC_B_TO), BM_CLICK);
        EXPECT_TRUE(Calls().empty());

        program.SelectRows(run.rows);
        int nextItem = 3;
        size_t seen = 0;
        for (const TPress& press : presses) {
            const std::string field = fieldNames[press.field];
            SCOPED_TRACE(field + (press.newWindow ? " new" : " existing"));
            const int radio = press.newWindow ? IDC_RB_NEWWIN : IDC_RB_EXISTWIN;
            Send(program.Recipients(radio), BM_CLICK);
            ASSERT_TRUE(Checked(program.Recipients(radio)));
            ASSERT_FALSE(
                Checked(program.Recipients(press.newWindow ? IDC_RB_EXISTWIN : IDC_RB_NEWWIN)));
            Send(program.Recipients(press.button), BM_CLICK);

            std::vector<TCall> expected;
            if (seen == 0) {
                expected.push_back({"Application", "QueryInterface", "_Application"});
            }
            std::string item = "MailItem#1";
            std::string old = oldFields[press.field];
            if (press.newWindow) {
                item = "MailItem#" + std::to_string(nextItem);
                nextItem += 2;
                old.clear();
                expected.push_back({"Application", "CreateItem", "I4 0"});
            } else {
                expected.push_back({"Application", "ActiveInspector", ""});
                expected.push_back({"Inspector#2", "CurrentItem", ""});
            }
            std::string written = run.recipients;
            if (run.append) {
                expected.push_back({item, field + ".get", ""});
                written = old + "; " + run.recipients;
            }
            expected.push_back({item, field + ".put", "BSTR " + written});
            expected.push_back({item, "Display", "BOOL false"});

            const std::vector<TCall> calls = Calls();
            ASSERT_GE(calls.size(), seen);
            EXPECT_EQ(std::vector<TCall>(calls.begin() + static_cast<ptrdiff_t>(seen), calls.end()),
                      expected);
            seen = calls.size();
        }
        PostMessageA(program.Main(), WM_CLOSE, 0, 0);
        EXPECT_TRUE(program.EndedCleanly());
    }
}

// A slow Outlook: the fake as a local server, as Outlook is, taking 3 s over
// writing To. Meanwhile the program's apartment goes on dispatching messages:
// the window answers, the recipient buttons wait, and after a second the
// progress window says what is going on (without 中止: a COM call cannot be
// left). Then everything is as before, the recipients written.
TEST_F(ExeTest, SlowOutlookLeavesTheWindowAlive) {
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION server{};
    const fs::path fakeExe = StandIns() / "fake_outlook.exe";
    std::wstring command = L"\"" + fakeExe.wstring() + L"\"";
    WriteBytes(kFakeControl, "hold\tTo.put\t3000\n");
    ASSERT_TRUE(CreateProcessW(fakeExe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               StandIns().c_str(), &si, &server));
    HANDLE quit = CreateEventW(nullptr, TRUE, FALSE, L"quorvantel-fake-outlook-quit");
    const auto serving = [] {
        for (const TCall& c : ReadFakeOutlookLog(kFakeLog)) {
            if (c.member == "serve") {
                return true;
            }
        }
        return false;
    };
    ASSERT_TRUE(WaitFor(serving)) << "the fake Outlook does not serve";

    const fs::path dir = Scratch("slow");
    WriteBytes(dir / "quorvantel.ini",
               CrLfLines({"MailFolder: " + Utf8(dir / "mailbox"), "MailAddressOnly: YES"}));
    {
        TProgram program(dir);
        ASSERT_TRUE(program.Started());
        program.SelectNode(kNodeFamily);
        program.SelectRows({0});
        const HWND to = program.Recipients(IDC_B_TO);
        PostMessageW(to, BM_CLICK, 0, 0);
        // The program turns the buttons off one after another; this process
        // may look in between.
        EXPECT_TRUE(WaitFor([&] {
            return !IsWindowEnabled(to) && !IsWindowEnabled(program.Recipients(IDC_B_CC)) &&
                   !IsWindowEnabled(program.Panel(IDC_B_READ)) &&
                   !IsWindowEnabled(program.Panel(IDC_B_QUIT));
        })) << "the buttons did not wait";
        EXPECT_TRUE(IsWindowEnabled(program.Panel(IDC_B_QUOTE)));
        HWND progress = nullptr;
        EXPECT_TRUE(WaitFor([&] {
            for (HWND w : TopWindows(program.Pid(), "TForm3")) {
                if (IsWindowVisible(w)) {
                    progress = w;
                }
            }
            return progress != nullptr;
        })) << "no progress window";
        if (progress != nullptr) {
            EXPECT_EQ(Text(progress), "宛先の受け渡し");
            const std::string line = Text(GetDlgItem(progress, IDC_PROGRESS_LABEL));
            EXPECT_EQ(line.rfind("Outlook に 1 件の宛先を渡しています… ", 0), 0u) << line;
            EXPECT_FALSE(IsWindowVisible(GetDlgItem(progress, IDC_PROGRESS_CANCEL)));
        }
        // The window answers while Outlook holds the call.
        EXPECT_TRUE(!IsWindowEnabled(to)) << "the call ended too soon to tell";
        DWORD_PTR answer = 0;
        EXPECT_NE(
            SendMessageTimeoutW(program.Main(), WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 500, &answer), 0)
            << "the window does not answer";
        EXPECT_TRUE(RedrawWindow(program.Main(), nullptr, nullptr,
                                 RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN));

        EXPECT_TRUE(WaitFor([&] { return IsWindowEnabled(to); })) << "the hand-off did not end";
        EXPECT_TRUE(progress == nullptr || !IsWindowVisible(progress));
        const std::vector<TCall> calls = Calls();
        ASSERT_FALSE(calls.empty());
        EXPECT_EQ(calls.back(), (TCall{"MailItem#1", "Display", "BOOL false"}));
        PostMessageA(program.Main(), WM_CLOSE, 0, 0);
        EXPECT_TRUE(program.EndedCleanly());
    }
    SetEvent(quit);
    EXPECT_EQ(WaitForSingleObject(server.hProcess, 10000), WAIT_OBJECT_0);
    CloseHandle(quit);
    CloseHandle(server.hThread);
    CloseHandle(server.hProcess);
}

// An Outlook failure through the window: the message box, and the program
// goes on with its window.
TEST_F(ExeTest, OutlookFailureShowsTheMessageBox) {
    struct TCase {
        const char* what;
        std::string control;
        int radio;
        int button;
        std::string message;
        std::vector<TCall> calls;
    };
    const TCase cases[] = {
        {"CreateItem fails with a description",
         "fail\tCreateItem\t80020009\texcep\t80041234\tアイテムは使用中です\tOutlook\n",
         IDC_RB_NEWWIN,
         IDC_B_TO,
         "アイテムは使用中です.",
         {{"Application", "QueryInterface", "_Application"},
          {"Application", "CreateItem", "I4 0"}}},
        {"a contact in the active window",
         "open\tcontact\n",
         IDC_RB_EXISTWIN,
         IDC_B_CC,
         "Interface はサポートされていません.",
         {{"Application", "QueryInterface", "_Application"},
          {"Application", "ActiveInspector", ""},
          {"Inspector#2", "CurrentItem", ""}}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove(kFakeLog);
        WriteBytes(kFakeControl, c.control);
        const fs::path dir = Scratch("failure");
        WriteBytes(dir / "quorvantel.ini", CrLfLines({"MailFolder: " + Utf8(dir / "mailbox")}));
        TProgram program(dir);
        ASSERT_TRUE(program.Started());
        program.SelectNode(kNodeFriends);
        program.SelectRows({1});
        Send(program.Recipients(c.radio), BM_CLICK);
        TSentAsync press(program.Recipients(c.button), BM_CLICK);
        EXPECT_EQ(DismissMessageBox(program), c.message);
        EXPECT_TRUE(press.Answered());
        EXPECT_EQ(Calls(), c.calls);
        // Still running, with the selection as it was.
        EXPECT_TRUE(IsWindowVisible(program.Main()));
        EXPECT_EQ(Send(program.List(), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED), 1);
        PostMessageA(program.Main(), WM_CLOSE, 0, 0);
        EXPECT_TRUE(program.EndedCleanly());
    }
}

// ---------------------------------------------------------------------------
// Without Outlook: the default mail client of the system, here a recording
// handler registered for the mailto scheme for this user.

class TMailtoHandler {
  public:
    // Wine's own handler (winebrowser, which passes the URL on to the Linux
    // desktop) stands in the machine's classes; it is set aside meanwhile.
    TMailtoHandler() {
        fs::remove(Log());
        had_ = Query(kCommand, saved_);
        const std::wstring command =
            L"\"" + (StandIns() / "record_mailto.exe").wstring() + L"\" \"%1\"";
        ok_ = Set(kKey, L"URL Protocol", L"") && Set(kCommand, nullptr, command);
    }
    ~TMailtoHandler() {
        if (had_) {
            Set(kCommand, nullptr, saved_);
        } else {
            RegDeleteTreeW(HKEY_CLASSES_ROOT, kKey);
        }
        fs::remove(Log());
    }
    TMailtoHandler(const TMailtoHandler&) = delete;
    TMailtoHandler& operator=(const TMailtoHandler&) = delete;

    bool Ok() const { return ok_; }

    // The URLs handed over so far, once there are count of them, decoded.
    std::vector<std::string> Urls(size_t count) const {
        std::vector<std::string> urls;
        WaitFor([&] {
            urls.clear();
            std::istringstream lines(ReadBytes(Log()));
            for (std::string line; std::getline(lines, line);) {
                urls.push_back(PercentDecoded(line));
            }
            return urls.size() >= count;
        });
        return urls;
    }

  private:
    static constexpr wchar_t kKey[] = L"mailto";
    static constexpr wchar_t kCommand[] = L"mailto\\shell\\open\\command";

    static fs::path Log() { return StandIns() / "record_mailto.log"; }

    static bool Query(const wchar_t* key, std::wstring& value) {
        wchar_t buffer[1024];
        DWORD size = sizeof buffer;
        DWORD type = 0;
        if (RegGetValueW(HKEY_CLASSES_ROOT, key, nullptr, RRF_RT_REG_SZ, &type, buffer, &size) !=
            ERROR_SUCCESS) {
            return false;
        }
        value = buffer;
        return true;
    }

    static bool Set(const std::wstring& key, const wchar_t* name, const std::wstring& value) {
        HKEY h = nullptr;
        if (RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &h,
                            nullptr) != ERROR_SUCCESS) {
            return false;
        }
        const bool set =
            RegSetValueExW(h, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                           static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) ==
            ERROR_SUCCESS;
        RegCloseKey(h);
        return set;
    }

    static std::string PercentDecoded(const std::string& url) {
        std::string out;
        for (size_t i = 0; i < url.size(); ++i) {
            if (url[i] == '%' && i + 2 < url.size()) {
                out += static_cast<char>(std::stoi(url.substr(i + 1, 2), nullptr, 16));
                i += 2;
            } else {
                out += url[i];
            }
        }
        return out;
    }

    bool ok_ = false;
    bool had_ = false;
    std::wstring saved_;
};

TEST_F(ExeTest, WithoutOutlookTheDefaultMailClient) {
    RegisterFake(false);
    struct TRegisterAgain {
        ~TRegisterAgain() { RegisterFake(true); }
    } registerAgain;
    TMailtoHandler handler;
    ASSERT_TRUE(handler.Ok());

    struct TCase {
        const char* what;
        std::string prefs;
        size_t node;
        std::vector<int> rows;
        std::string recipients;  // as the URL carries them, decoded
    };
    const TCase cases[] = {
        {"bare addresses",
         "MailAddressOnly: YES",
         kNodeDevelopment,
         {0, 3},
         "makoto.ito@minato-is.example.jp,aya.yoshida@minato-is.example.jp,"
         "ryo.matsumoto@minato-is.example.jp,shota.kato@minato-is.example.jp,"
         "takuya.yamamoto@minato-is.example.jp"},
        {"names",
         "MailAddressOnly: NO",
         kNodeFamily,
         {0},
         "\"佐藤 美和子\"<miwako.sato@example.jp>"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.what);
        // A folder of its own: the last case's handlers may still be ending
        // in theirs (it is their working directory).
        const fs::path dir = Scratch(std::string("mailto-") + c.what);
        WriteBytes(dir / "quorvantel.ini",
                   CrLfLines({"MailFolder: " + Utf8(dir / "mailbox"), c.prefs}));
        TProgram program(dir);
        ASSERT_TRUE(program.Started());
        // No open compose window can be reached: no Outlook is registered.
        ASSERT_FALSE(IsWindowEnabled(program.Recipients(IDC_RB_EXISTWIN)));
        EXPECT_TRUE(Checked(program.Recipients(IDC_RB_NEWWIN)));
        program.SelectNode(c.node);
        program.SelectRows(c.rows);
        // One press at a time: each handler is a process of its own, and
        // three at once could write their lines in any order.
        std::vector<std::string> urls;
        for (const int button : {IDC_B_TO, IDC_B_CC, IDC_B_BCC}) {
            const size_t before = handler.Urls(0).size();
            Send(program.Recipients(button), BM_CLICK);
            const std::vector<std::string> now = handler.Urls(before + 1);
            urls.insert(urls.end(), now.begin() + static_cast<ptrdiff_t>(before), now.end());
        }
        EXPECT_EQ(urls,
                  (std::vector<std::string>{"mailto:" + c.recipients, "mailto:?cc=" + c.recipients,
                                            "mailto:?bcc=" + c.recipients}));
        EXPECT_FALSE(fs::exists(kFakeLog)) << "Outlook was not asked";
        PostMessageA(program.Main(), WM_CLOSE, 0, 0);
        EXPECT_TRUE(program.EndedCleanly());
    }

    // A group too long for one URL: refused whole with the count and Wine's
    // limit, and the program goes on (Wine's ShellExecuteW would bring it
    // down).
    const fs::path dir = Scratch("mailto-long");
    std::string cards, groups = "Name: \\\r\nEntry: many\r\n.\r\nName: many\r\n";
    for (int i = 0; i < 40; ++i) {
        const std::string name = "member" + std::to_string(i);
        cards += "Nickname: " + name + "\r\nAddress: " + name + ".long.address@example.jp\r\n.\r\n";
        groups += "Entry: " + name + "\r\n";
    }
    WriteBytes(dir / "mailbox" / "card.dat", cards);
    WriteBytes(dir / "mailbox" / "group.dat", groups + ".\r\n");
    WriteBytes(dir / "quorvantel.ini",
               CrLfLines({"MailFolder: " + Utf8(dir / "mailbox"), "MailAddressOnly: YES"}));
    TProgram program(dir);
    ASSERT_TRUE(program.Started());
    program.SelectNode(0);
    program.SelectRows({0});
    const size_t before = handler.Urls(0).size();
    TSentAsync press(program.Recipients(IDC_B_TO), BM_CLICK);
    EXPECT_EQ(
        DismissMessageBox(program),
        "宛先 40 件は、メールソフトに一度に渡せる長さを超えています (URL が 1,316 文字、上限は "
        "995 文字)");
    EXPECT_TRUE(press.Answered());
    EXPECT_EQ(handler.Urls(0).size(), before);
    PostMessageA(program.Main(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(program.EndedCleanly());
}

// ---------------------------------------------------------------------------
// The quote button on the clipboard.

TEST_F(ExeTest, QuoteButtonOnTheClipboard) {
    struct TCase {
        const char* what;
        bool text;           // false: the clipboard holds no text at all
        std::string before;  // UTF-8
        std::string mark;
        std::string after;
    };
    const TCase cases[] = {
        {"two lines", true, "一行目\r\n二行目", "> ", "> 一行目\r\n> 二行目\r\n"},
        {"an empty line and a last line break", true, "a\r\n\r\nb\r\n", "＞",
         "＞a\r\n＞\r\n＞b\r\n"},
        {"a lone LF and a lone CR", true, "a\nb\r", "| ", "| a\nb\r\r\n"},
        {"an empty mark", true, "引用済み\r\n> 本文", "", "引用済み\r\n> 本文\r\n"},
        {"characters cp932 lacks, in the text and the mark", true, "한국어 🍣\r\ncafé", "» ",
         "» 한국어 🍣\r\n» café\r\n"},
        {"no text", false, "", "> ", ""},
    };
    const fs::path dir = Scratch("quote");
    TProgram program(dir);
    ASSERT_TRUE(program.Started());
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.what);
        SetClipboard(c.text ? &c.before : nullptr);
        SetText(program.Panel(IDC_EDIT2), c.mark);
        Send(program.Panel(IDC_B_QUOTE), BM_CLICK);
        EXPECT_EQ(ClipboardText(), c.after);
    }
}

// ---------------------------------------------------------------------------
// The folder chooser: Wine's open-file dialog, adjusted, confirmed or cancelled.

// The chooser's file name box: a combo box around the edit field.
HWND NameEdit(HWND dialog) {
    return FindWindowExA(GetDlgItem(GetDlgItem(dialog, cmb13), cmb13), nullptr, "Edit", nullptr);
}

// Into the folder by its path (the dialog may start anywhere).
void EnterFolder(const TProgram& program, HWND dialog, const fs::path& folder) {
    SetText(NameEdit(dialog), Utf8(folder));
    PostMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
    TRemote shown(program.Process(), kTextMax);
    EXPECT_TRUE(WaitFor([&] {
        Send(dialog, CDM_GETFOLDERPATH, kTextMax, shown.Param());
        return shown.Text(0, kTextMax) == Utf8(folder);
    })) << shown.Text(0, kTextMax);
}

// OK with "Dummy.dat" in the file name box.
void ConfirmDummy(HWND dialog) {
    SetText(NameEdit(dialog), "Dummy.dat");
    PostMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
}

TEST_F(ExeTest, FolderChooser) {
    const fs::path dir = Scratch("chooser");
    // A name whose last character has a backslash as its second byte.
    const fs::path chosen = dir / Utf8ToUtf16("アドレス表");
    fs::copy(dir / "mailbox", chosen, fs::copy_options::recursive);
    TProgram program(dir);
    ASSERT_TRUE(program.Started());
    const HWND edit1 = program.Panel(IDC_EDIT1);

    for (bool confirm : {false, true}) {
        SCOPED_TRACE(confirm ? "confirmed" : "cancelled");
        TSentAsync press(program.Panel(IDC_B_SETFOLDER), BM_CLICK);
        const HWND dialog = WaitForWindow(program.Pid(), "#32770", "フォルダの選択");
        ASSERT_NE(dialog, nullptr);
        // The dialog may be listed a moment before its owner is turned off.
        EXPECT_TRUE(WaitFor([&] { return !IsWindowEnabled(program.Main()); }))
            << "modal over the main window";
        // Hidden: the file name box (a combo box around the edit field that
        // the program finds), the type list and their labels.
        const HWND nameBox = GetDlgItem(dialog, cmb13);
        const HWND nameEdit = NameEdit(dialog);
        ASSERT_NE(nameEdit, nullptr);
        const HWND hidden[] = {nameBox, nameEdit, GetDlgItem(dialog, cmb1),
                               GetDlgItem(dialog, stc3), GetDlgItem(dialog, stc2)};
        // The dialog in another language has other labels: the chooser
        // finds them not and leaves the dialog as it is.
        const bool adjusted = JapaneseUi();
        EXPECT_TRUE(WaitFor([&] {
            for (HWND window : hidden) {
                if (window == nullptr || IsWindowVisible(window) == adjusted) {
                    return false;
                }
            }
            return true;
        }));
        if (adjusted) {
            EXPECT_EQ(Text(GetDlgItem(dialog, stc3)), "");
            EXPECT_EQ(Text(GetDlgItem(dialog, stc2)), "");
            EXPECT_EQ(Text(GetDlgItem(dialog, stc4)), "フォルダの場所(&I)");
            EXPECT_EQ(Text(GetDlgItem(dialog, IDOK)), "OK");
        } else {
            EXPECT_NE(Text(GetDlgItem(dialog, stc3)), "");
            EXPECT_NE(Text(GetDlgItem(dialog, IDOK)), "OK");
        }
        EXPECT_TRUE(IsWindowVisible(GetDlgItem(dialog, cmb2))) << "the folder list stays";
        EXPECT_TRUE(IsWindowVisible(GetDlgItem(dialog, lst2))) << "the file list stays";

        if (confirm) {
            EnterFolder(program, dialog, chosen);
            if (adjusted) {
                EXPECT_EQ(Text(GetDlgItem(dialog, IDOK)), "OK") << "adjusted once, and it stays";
                EXPECT_FALSE(IsWindowVisible(nameBox));
            }
            ConfirmDummy(dialog);
        } else {
            PostMessageA(GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0);
        }
        EXPECT_TRUE(press.Answered());
        EXPECT_EQ(Text(edit1), confirm ? Utf8(chosen) : "設定されていません");
    }

    // A folder that cp932 cannot name is refused with its name, and Edit1
    // keeps the folder it had.
    const fs::path korean = dir / Utf8ToUtf16("주소록");
    fs::create_directories(korean);
    {
        TSentAsync press(program.Panel(IDC_B_SETFOLDER), BM_CLICK);
        const HWND dialog = WaitForWindow(program.Pid(), "#32770", "フォルダの選択");
        ASSERT_NE(dialog, nullptr);
        EnterFolder(program, dialog, korean);
        ConfirmDummy(dialog);
        EXPECT_EQ(DismissMessageBox(program),
                  "フォルダ「" + Utf8(korean) +
                      "」の名前には Shift-JIS (コードページ 932) で表せない文字が含まれているため、"
                      "メールフォルダにできません。フォルダの名前を変えるか、別のフォルダを選んで"
                      "ください.");
        EXPECT_TRUE(press.Answered());
        EXPECT_EQ(Text(edit1), Utf8(chosen));
    }

    // Nothing is read until the read button; without a preferences file the
    // second column stays empty.
    EXPECT_TRUE(program.Nodes().empty());
    Send(program.Panel(IDC_B_READ), BM_CLICK);
    EXPECT_EQ(program.Nodes(), kSampleTree);
    program.SelectNode(kNodeFriends);
    ASSERT_FALSE(program.Rows().empty());
    EXPECT_EQ(program.Rows().at(0), (TProgram::TRow{"中村 美咲", "", 1}));
    EXPECT_EQ(program.ColumnCaption(1), "");

    PostMessageA(program.Panel(IDC_B_QUIT), BM_CLICK, 0, 0);
    EXPECT_TRUE(program.EndedCleanly());
    const std::string saved = ReadBytes(dir / "quorvantel.ini");
    EXPECT_EQ(saved.substr(0, saved.find("\r\n")), Sj("MailFolder: " + Utf8(chosen)));
}

}  // namespace
