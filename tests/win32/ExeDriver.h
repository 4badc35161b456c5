// Driving quorvantel.exe from another process inside Wine as a person would:
// started from a scratch directory, found by its window classes, worked
// through its controls' messages. Shared by the programs that drive it.
//
// List-view and tree-view messages that carry pointers are answered in the
// program's process, so their structures and buffers live there (TRemote).
#pragma once

#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <source_location>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "core/Encoding.h"
#include "core/TextUtf.h"
#include "tests/win32/WineTest.h"
#include "ui/Version.h"
#include "ui/win32/ControlIds.h"

namespace exedriver {

namespace fs = std::filesystem;

constexpr UINT kSendTimeoutMs = 10000;

// ---------------------------------------------------------------------------
// Text: the program's files speak cp932, its windows UTF-16 (read here with
// the wide messages, whatever the system's code page); the expectations are UTF-8.

inline std::string Sj(const std::string& utf8) {
    return Utf8ToCp932(utf8);
}

// A text of the forms' descriptions (cp932) as the windows are read back: UTF-8.
inline std::string FromSj(const std::string& cp932) {
    return Cp932ToUtf8(cp932);
}

inline std::string Utf8(const fs::path& path) {
    return Utf16ToUtf8(path.u16string());
}

// The file's lines, each ended by CR LF, in cp932.
inline std::string CrLfLines(const std::vector<std::string>& utf8Lines) {
    std::string text;
    for (const std::string& line : utf8Lines) {
        text += Sj(line) + "\r\n";
    }
    return text;
}

inline std::string ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

inline void WriteBytes(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

// ---------------------------------------------------------------------------
// Paths.

inline fs::path DosPath(const char* unixPath) {
    std::string path = std::string("Z:") + unixPath;
    for (char& c : path) {
        c = c == '/' ? '\\' : c;
    }
    return fs::path(Utf8ToUtf16(path));
}

inline fs::path TestDir() {
    wchar_t path[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    return fs::path(std::wstring(path, n)).parent_path();
}

inline const fs::path kExe = DosPath(QUORVANTEL_EXE);
inline const fs::path kMailbox = DosPath(QUORVANTEL_MAILBOX);

inline fs::path ScratchRoot() {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    return fs::path(temp) / ("quorvantel-exe-" + std::to_string(GetCurrentProcessId()));
}

// A directory with the program and a copy of the sample mail folder.
inline fs::path Scratch(const std::string& name) {
    const fs::path dir = ScratchRoot() / name;
    fs::remove_all(dir);
    fs::create_directories(dir);
    fs::copy_file(kExe, dir / "quorvantel.exe");
    fs::copy(kMailbox, dir / "mailbox", fs::copy_options::recursive);
    return dir;
}

// ---------------------------------------------------------------------------
// Windows of the program.

inline std::string ClassOf(HWND window) {
    char name[64] = {};
    return GetClassNameA(window, name, sizeof name) > 0 ? name : "";
}

inline std::string FromWide(std::wstring_view wide) {
    return Utf16ToUtf8(
        std::u16string_view(reinterpret_cast<const char16_t*>(wide.data()), wide.size()));
}

inline std::wstring ToWide(const std::string& utf8) {
    const std::u16string u = Utf8ToUtf16(utf8);
    return std::wstring(u.begin(), u.end());
}

// WM_GETTEXT crosses processes; the text comes back as UTF-8. False when the
// window gives no answer (it may be gone).
inline bool TryText(HWND window, std::string& utf8) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, kSendTimeoutMs,
                             &length)) {
        return false;
    }
    std::wstring text(length + 1, L'\0');
    DWORD_PTR got = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                        SMTO_NORMAL, kSendTimeoutMs, &got);
    text.resize(got);
    utf8 = FromWide(text);
    return true;
}

// The same, where no answer is a failure of the caller's line.
inline std::string Text(HWND window,
                        std::source_location caller = std::source_location::current()) {
    std::string utf8;
    if (!TryText(window, utf8)) {
        ADD_FAILURE_AT(caller.file_name(), static_cast<int>(caller.line()))
            << "no answer to WM_GETTEXTLENGTH";
    }
    return utf8;
}

inline void SetText(HWND window, const std::string& utf8) {
    const std::wstring text = ToWide(utf8);
    DWORD_PTR result = 0;
    EXPECT_TRUE(SendMessageTimeoutW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                                    SMTO_NORMAL, kSendTimeoutMs, &result));
}

// The user's language is Japanese: the system's dialogs and messages are Japanese.
inline bool JapaneseUi() {
    return PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_JAPANESE;
}

// A message the program answers at once (a modal window it opens instead
// makes the send time out and fails the case).
inline LRESULT Send(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_NORMAL, kSendTimeoutMs,
                             &result)) {
        ADD_FAILURE() << "message " << message << " not answered in time";
    }
    return static_cast<LRESULT>(result);
}

// A message sent from a thread of its own, for one whose answer waits for a
// modal window that the driver works meanwhile.
class TSentAsync {
  public:
    TSentAsync(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0)
        : state_(std::make_shared<TState>()) {
        std::thread([state = state_, window, message, wParam, lParam] {
            DWORD_PTR result = 0;
            state->ok = SendMessageTimeoutW(window, message, wParam, lParam, SMTO_NORMAL, 60000,
                                            &result) != 0;
            state->done = true;
        }).detach();
    }
    // True when the program answered within the deadline.
    bool Answered() const {
        return WaitFor([this] { return state_->done.load(); }) && state_->ok;
    }

  private:
    struct TState {
        std::atomic<bool> done{false};
        std::atomic<bool> ok{false};
    };
    std::shared_ptr<TState> state_;
};

// Visible top-level windows of a process with that class.
inline std::vector<HWND> TopWindows(DWORD pid, const std::string& className) {
    struct TQuery {
        DWORD pid;
        std::string className;
        std::vector<HWND> found;
    } query{pid, className, {}};
    EnumWindows(
        [](HWND window, LPARAM data) -> BOOL {
            auto& q = *reinterpret_cast<TQuery*>(data);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner == q.pid && IsWindowVisible(window) && ClassOf(window) == q.className) {
                q.found.push_back(window);
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&query));
    return query.found;
}

// The process's visible window of that class and caption, within the deadline.
inline HWND WaitForWindow(DWORD pid, const std::string& className, const std::string& caption) {
    HWND found = nullptr;
    WaitFor([&] {
        // A window listed a moment ago may be gone by now: not the one.
        for (HWND window : TopWindows(pid, className)) {
            std::string text;
            if (TryText(window, text) && text == caption) {
                found = window;
                return true;
            }
        }
        return false;
    });
    return found;
}

// The control reached from parent through the IDs, container by container.
inline HWND In(HWND parent, std::initializer_list<int> ids) {
    HWND window = parent;
    for (int id : ids) {
        window = window ? GetDlgItem(window, id) : nullptr;
    }
    return window;
}

inline bool Checked(HWND button) {
    return Send(button, BM_GETCHECK) == BST_CHECKED;
}

// ---------------------------------------------------------------------------
// Memory in the program's process.

class TRemote {
  public:
    TRemote(HANDLE process, size_t size)
        : process_(process),
          base_(static_cast<char*>(
              VirtualAllocEx(process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE))) {
        EXPECT_NE(base_, nullptr);
    }
    ~TRemote() {
        if (base_ != nullptr) {
            VirtualFreeEx(process_, base_, 0, MEM_RELEASE);
        }
    }
    TRemote(const TRemote&) = delete;
    TRemote& operator=(const TRemote&) = delete;

    char* At(size_t offset) const { return base_ + offset; }
    LPARAM Param() const { return reinterpret_cast<LPARAM>(base_); }
    template <class T>
    void Put(const T& value) {
        EXPECT_TRUE(WriteProcessMemory(process_, base_, &value, sizeof value, nullptr));
    }
    template <class T>
    T Get() const {
        T value{};
        EXPECT_TRUE(ReadProcessMemory(process_, base_, &value, sizeof value, nullptr));
        return value;
    }
    // The NUL-ended UTF-16 text of at most max characters at offset, as UTF-8.
    std::string Text(size_t offset, size_t max) const {
        std::wstring chars(max, L'\0');
        EXPECT_TRUE(ReadProcessMemory(process_, base_ + offset, chars.data(), max * sizeof(wchar_t),
                                      nullptr));
        chars.resize(chars.find(L'\0') == std::wstring::npos ? max : chars.find(L'\0'));
        return FromWide(chars);
    }

  private:
    HANDLE process_;
    char* base_;
};

constexpr size_t kTextAt = 256;   // the text buffer, behind the structure
constexpr size_t kTextMax = 512;  // characters
constexpr size_t kRemoteSize = kTextAt + kTextMax * sizeof(wchar_t);

// The text of a list view's item or subitem.
inline std::string ListItemText(HANDLE process, HWND list, int row, int column) {
    TRemote memory(process, kRemoteSize);
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = reinterpret_cast<wchar_t*>(memory.At(kTextAt));
    item.cchTextMax = kTextMax;
    memory.Put(item);
    Send(list, LVM_GETITEMTEXTW, row, memory.Param());
    return memory.Text(kTextAt, kTextMax);
}

// Presses the left button over the item's label, once or twice.
inline void ClickListItem(HANDLE process, HWND list, int row, bool twice) {
    TRemote memory(process, sizeof(RECT));
    memory.Put(RECT{LVIR_LABEL, 0, 0, 0});
    ASSERT_TRUE(Send(list, LVM_GETITEMRECT, row, memory.Param()));
    const RECT r = memory.Get<RECT>();
    const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    PostMessageA(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageA(list, WM_LBUTTONUP, 0, at);
    if (twice) {
        PostMessageA(list, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
        PostMessageA(list, WM_LBUTTONUP, 0, at);
    }
}

// ---------------------------------------------------------------------------
// The running program.

inline const std::string kCaption = std::string("アドレス帳  ") + kVersionText;

class TProgram {
  public:
    // Starts dir\quorvantel.exe in dir and waits for its main window.
    explicit TProgram(const fs::path& dir) {
        const fs::path exe = dir / "quorvantel.exe";
        std::wstring command = L"\"" + exe.wstring() + L"\"";
        STARTUPINFOW si{};
        si.cb = sizeof si;
        if (!CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                            dir.c_str(), &si, &pi_)) {
            ADD_FAILURE() << "CreateProcessW failed: " << GetLastError();
            return;
        }
        WaitForInputIdle(pi_.hProcess, 10000);
        main_ = WaitForWindow(pi_.dwProcessId, "TForm1", kCaption);
        EXPECT_NE(main_, nullptr) << "no main window \"" << kCaption << "\"";
    }
    ~TProgram() {
        if (pi_.hProcess != nullptr) {
            if (WaitForSingleObject(pi_.hProcess, 0) != WAIT_OBJECT_0) {
                TerminateProcess(pi_.hProcess, 1);
                WaitForSingleObject(pi_.hProcess, 10000);
            }
            CloseHandle(pi_.hThread);
            CloseHandle(pi_.hProcess);
        }
    }
    TProgram(const TProgram&) = delete;
    TProgram& operator=(const TProgram&) = delete;

    bool Started() const { return main_ != nullptr; }
    HWND Main() const { return main_; }
    HANDLE Process() const { return pi_.hProcess; }
    DWORD Pid() const { return pi_.dwProcessId; }
    DWORD Thread() const { return pi_.dwThreadId; }

    HWND List() const { return In(main_, {IDC_LISTVIEW1}); }
    HWND Tree() const { return In(main_, {IDC_TREEVIEW1}); }
    HWND Panel(int id) const { return In(main_, {IDC_PANEL1, id}); }
    HWND Recipients(int id) const { return In(main_, {IDC_PANEL1, IDC_GROUPBOX1, id}); }

    // True when the program ended by itself within the deadline with code 0.
    bool EndedCleanly() const {
        if (WaitForSingleObject(pi_.hProcess, 10000) != WAIT_OBJECT_0) {
            return false;
        }
        DWORD code = 1;
        GetExitCodeProcess(pi_.hProcess, &code);
        return code == 0;
    }

    // ---- TreeView1

    struct TNode {
        int depth;
        std::string text;
        int image;
        int selectedImage;
        bool operator==(const TNode&) const = default;
    };

    // The nodes in tree order, and their handles.
    std::vector<TNode> Nodes(std::vector<HTREEITEM>* handles = nullptr) const {
        std::vector<TNode> nodes;
        TRemote memory(pi_.hProcess, kRemoteSize);
        const HWND tree = Tree();
        std::function<void(HTREEITEM, int)> walk = [&](HTREEITEM item, int depth) {
            for (; item != nullptr;
                 item = reinterpret_cast<HTREEITEM>(
                     Send(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(item)))) {
                TVITEMW query{};
                query.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
                query.hItem = item;
                query.pszText = reinterpret_cast<wchar_t*>(memory.At(kTextAt));
                query.cchTextMax = kTextMax;
                memory.Put(query);
                EXPECT_TRUE(Send(tree, TVM_GETITEMW, 0, memory.Param()));
                const auto got = memory.Get<TVITEMW>();
                nodes.push_back(
                    {depth, memory.Text(kTextAt, kTextMax), got.iImage, got.iSelectedImage});
                if (handles != nullptr) {
                    handles->push_back(item);
                }
                walk(reinterpret_cast<HTREEITEM>(
                         Send(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(item))),
                     depth + 1);
            }
        };
        walk(reinterpret_cast<HTREEITEM>(Send(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0)), 0);
        return nodes;
    }

    // The index in tree order of the selected node, or -1.
    int SelectedNode() const {
        std::vector<HTREEITEM> handles;
        Nodes(&handles);
        const auto selected =
            reinterpret_cast<HTREEITEM>(Send(Tree(), TVM_GETNEXTITEM, TVGN_CARET, 0));
        for (size_t i = 0; i < handles.size(); ++i) {
            if (handles[i] == selected) {
                return static_cast<int>(i);
            }
        }
        return -1;
    }

    // Selects the node at that index in tree order, as a click on it would.
    void SelectNode(size_t index) const {
        std::vector<HTREEITEM> handles;
        Nodes(&handles);
        ASSERT_LT(index, handles.size());
        EXPECT_TRUE(
            Send(Tree(), TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(handles[index])));
    }

    // ---- ListView1

    struct TRow {
        std::string caption;
        std::string second;
        int image;
        bool operator==(const TRow&) const = default;
    };

    std::vector<TRow> Rows() const {
        std::vector<TRow> rows;
        TRemote memory(pi_.hProcess, kRemoteSize);
        const HWND list = List();
        const auto count = static_cast<int>(Send(list, LVM_GETITEMCOUNT));
        for (int i = 0; i < count; ++i) {
            LVITEMW item{};
            item.mask = LVIF_TEXT | LVIF_IMAGE;
            item.iItem = i;
            item.pszText = reinterpret_cast<wchar_t*>(memory.At(kTextAt));
            item.cchTextMax = kTextMax;
            memory.Put(item);
            EXPECT_TRUE(Send(list, LVM_GETITEMW, 0, memory.Param()));
            rows.push_back({memory.Text(kTextAt, kTextMax), ListItemText(pi_.hProcess, list, i, 1),
                            memory.Get<LVITEMW>().iImage});
        }
        return rows;
    }

    std::string ColumnCaption(int column) const {
        TRemote memory(pi_.hProcess, kRemoteSize);
        LVCOLUMNW c{};
        c.mask = LVCF_TEXT;
        c.pszText = reinterpret_cast<wchar_t*>(memory.At(kTextAt));
        c.cchTextMax = kTextMax;
        memory.Put(c);
        EXPECT_TRUE(Send(List(), LVM_GETCOLUMNW, column, memory.Param()));
        return memory.Text(kTextAt, kTextMax);
    }

    // Selects exactly these rows.
    void SelectRows(const std::vector<int>& rows) const {
        TRemote memory(pi_.hProcess, sizeof(LVITEMA));
        LVITEMA item{};
        item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        memory.Put(item);
        Send(List(), LVM_SETITEMSTATE, static_cast<WPARAM>(-1), memory.Param());
        for (int row : rows) {
            item.state = LVIS_SELECTED;
            item.stateMask = LVIS_SELECTED;
            memory.Put(item);
            EXPECT_TRUE(Send(List(), LVM_SETITEMSTATE, row, memory.Param()));
        }
    }

    void ClickRow(int row, bool twice) const { ClickListItem(pi_.hProcess, List(), row, twice); }

    // The window that has the keyboard focus in the program's thread.
    HWND Focus() const {
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        return GetGUIThreadInfo(pi_.dwThreadId, &info) ? info.hwndFocus : nullptr;
    }

  private:
    PROCESS_INFORMATION pi_{};
    HWND main_ = nullptr;
};

inline std::ostream& operator<<(std::ostream& out, const TProgram::TNode& n) {
    return out << "{" << n.depth << " " << n.text << " " << n.image << "/" << n.selectedImage
               << "}";
}

inline std::ostream& operator<<(std::ostream& out, const TProgram::TRow& r) {
    return out << "{" << r.caption << " | " << r.second << " | " << r.image << "}";
}

// The program's message box: its text, after which it is dismissed with OK.
// Empty when none came within the deadline.
inline std::string DismissMessageBox(const TProgram& program) {
    const HWND box = WaitForWindow(program.Pid(), "#32770", "Quorvantel");
    if (box == nullptr) {
        return {};
    }
    const std::string text = Text(GetDlgItem(box, 0xFFFF));
    EXPECT_EQ(GetDlgItem(box, IDCANCEL), nullptr) << "an OK button alone";
    PostMessageA(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(box) || !IsWindowVisible(box); }));
    return text;
}

inline const std::vector<TProgram::TNode> kSampleTree = {
    {0, "\\", 2, 2},         {1, "家族", 0, 3},       {1, "仕事", 0, 3}, {2, "開発部", 0, 3},
    {3, "基盤チーム", 0, 3}, {2, "取引先", 0, 3},     {1, "友人", 0, 3}, {2, "山歩きの会", 0, 3},
    {1, "趣味", 0, 3},       {2, "山歩きの会", 0, 3},
};
constexpr size_t kNodeFamily = 1;       // 家族
constexpr size_t kNodeDevelopment = 3;  // 開発部
constexpr size_t kNodeTeam = 4;         // 基盤チーム
constexpr size_t kNodeFriends = 6;      // 友人

}  // namespace exedriver
