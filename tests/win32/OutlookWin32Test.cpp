// The Outlook backend (TOutlookApplication) against the fake Outlook of
// fake_outlook/, in process and as a local server in another process.
#include <windows.h>

#include <gtest/gtest.h>
#include <oleauto.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "core/TextUtf.h"
#include "mailclient/ComApartment.h"
#include "mailclient/OleErrors.h"
#include "mailclient/OutlookApplication.h"
#include "tests/win32/FakeOutlookLog.h"
#include "tests/win32/WineTest.h"

namespace {

const CLSID kClsidOutlook = {
    0x0006F033, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr int32_t kNoSystemText = static_cast<int32_t>(0x80041234u);  // no system words
constexpr auto kDeadline = std::chrono::seconds(30);

std::wstring TestDir() {
    wchar_t path[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dir(path, n);
    return dir.substr(0, dir.find_last_of(L'\\'));
}

const std::wstring kDir = TestDir();
const std::wstring kControl = kDir + L"\\fake_outlook.ctl";
const std::wstring kLog = kDir + L"\\fake_outlook.log";
const std::wstring kExe = kDir + L"\\fake_outlook.exe";
const std::wstring kDll = kDir + L"\\fake_outlook.dll";

using TCall = TFakeCall;

std::vector<TCall> ReadLog() {
    return ReadFakeOutlookLog(kLog);
}

// What was called.
std::vector<TCall> Calls() {
    return ProgramCalls(ReadLog());
}

std::vector<std::string> Roles() {
    std::vector<std::string> roles;
    for (const TCall& c : ReadLog()) {
        roles.push_back(c.role);
    }
    return roles;
}

void WriteControl(const std::string& utf8) {
    std::ofstream out(std::filesystem::path(kControl), std::ios::binary | std::ios::trunc);
    out << utf8;
}

void RunAndWait(const std::wstring& commandLine) {
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::wstring cmd = commandLine;
    ASSERT_TRUE(CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &si, &pi));
    EXPECT_EQ(WaitForSingleObject(pi.hProcess, 60000), WAIT_OBJECT_0);
    DWORD code = 1;
    GetExitCodeProcess(pi.hProcess, &code);
    EXPECT_EQ(code, 0u) << "fake_outlook "
                        << Utf16ToUtf8(std::u16string(commandLine.begin(), commandLine.end()));
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
}

// Registers or removes the fake's two servers through their own entry points.
void Register(bool inproc, bool local) {
    RegisterFakeOutlookDll(std::filesystem::path(kDll), inproc);
    RunAndWait(L"\"" + kExe + L"\" " + (local ? L"/regserver" : L"/unregserver"));
}

bool Running() {
    IUnknown* object = nullptr;
    if (FAILED(GetActiveObject(kClsidOutlook, nullptr, &object)) || object == nullptr) {
        return false;
    }
    object->Release();
    return true;
}

// Stops the local server of that process and waits for it to end.
void StopServer(DWORD pid) {
    HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, pid);
    ASSERT_NE(process, nullptr) << pid;
    HANDLE quit = OpenEventW(EVENT_MODIFY_STATE, FALSE, L"quorvantel-fake-outlook-quit");
    ASSERT_NE(quit, nullptr);
    SetEvent(quit);
    CloseHandle(quit);
    if (WaitForSingleObject(process, 30000) != WAIT_OBJECT_0) {
        TerminateProcess(process, 1);
        ADD_FAILURE() << "the fake's local server did not end";
    }
    CloseHandle(process);
}

// The process ids of the local servers that answered calls.
std::vector<DWORD> ServerPids() {
    std::vector<DWORD> pids;
    for (const TCall& c : ReadLog()) {
        if (c.role.rfind("local:", 0) == 0) {
            const DWORD pid = std::stoul(c.role.substr(6));
            if (std::find(pids.begin(), pids.end(), pid) == pids.end()) {
                pids.push_back(pid);
            }
        }
    }
    return pids;
}

// The local server started by hand, as a running Outlook.
class TRunningOutlook {
  public:
    TRunningOutlook() {
        STARTUPINFOW si{};
        si.cb = sizeof si;
        std::wstring cmd = L"\"" + kExe + L"\"";
        ok_ = CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                             &pi_) &&
              WaitFor(Running, kDeadline);
    }
    ~TRunningOutlook() {
        if (pi_.hProcess != nullptr) {
            if (WaitForSingleObject(pi_.hProcess, 0) != WAIT_OBJECT_0) {
                StopServer(pi_.dwProcessId);
            }
            CloseHandle(pi_.hThread);
            CloseHandle(pi_.hProcess);
        }
    }
    bool Ok() const { return ok_; }
    DWORD Pid() const { return pi_.dwProcessId; }
    std::string Role() const { return "local:" + std::to_string(pi_.dwProcessId); }

  private:
    PROCESS_INFORMATION pi_{};
    bool ok_ = false;
};

// The error that f throws, or none (a failure is added then).
template <class E>
std::optional<E> Caught(const std::function<void()>& f) {
    try {
        f();
    } catch (const E& e) {
        return e;
    } catch (const std::exception& e) {
        ADD_FAILURE() << "another error: " << e.what();
        return std::nullopt;
    }
    ADD_FAILURE() << "no error";
    return std::nullopt;
}

// The message of a status without a description: the system's words,
// trimmed, else "OLE エラー" and the status.
std::string SystemWords(int32_t status) {
    wchar_t* buffer = nullptr;
    const DWORD n = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(status), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::u16string text(reinterpret_cast<const char16_t*>(buffer), n);
    LocalFree(buffer);
    while (!text.empty() && (text.back() <= 32 || text.back() == u'.')) {
        text.pop_back();
    }
    if (text.empty()) {
        char hex[16];
        std::snprintf(hex, sizeof hex, "%.8X", static_cast<unsigned>(status));
        return std::string("OLE エラー ") + hex;
    }
    return Utf16ToUtf8(text);
}

const std::u16string kRecipients =
    u"\"佐藤 美和子\"<miwako.sato@example.jp>; \"Taro\"<taro@example.jp>; ";

class OutlookTest : public testing::Test {
  protected:
    // The prefix is shared with the later Windows tests: no fake stays registered.
    static void TearDownTestSuite() { Register(false, false); }
    void SetUp() override {
        DeleteFileW(kLog.c_str());
        DeleteFileW(kControl.c_str());
        ASSERT_TRUE(apartment_.Entered());
        ASSERT_FALSE(Running()) << "a fake Outlook from an earlier case still runs";
        Register(true, true);
    }
    void TearDown() override {
        for (DWORD pid : ServerPids()) {
            HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid);
            if (process != nullptr && WaitForSingleObject(process, 0) != WAIT_OBJECT_0) {
                StopServer(pid);
            }
            if (process != nullptr) {
                CloseHandle(process);
            }
        }
    }

    TComApartment apartment_;
};

// ---------------------------------------------------------------------------
// The calls and what they pass.

TEST_F(OutlookTest, NewItemGetsTheFieldExactlyAndIsShown) {
    const struct {
        TMailField field;
        const char* name;
    } fields[] = {{TMailField::To, "To"}, {TMailField::CC, "CC"}, {TMailField::BCC, "BCC"}};
    for (const auto& f : fields) {
        SCOPED_TRACE(f.name);
        DeleteFileW(kLog.c_str());
        TOutlookApplication outlook;
        auto item = outlook.CreateItem();
        ASSERT_NE(item, nullptr);
        item->SetField(f.field, kRecipients);
        item->Display();
        EXPECT_EQ(item->GetField(f.field), kRecipients);
        const std::string put = "BSTR " + Utf16ToUtf8(kRecipients);
        const std::vector<TCall> expected = {
            {"Application", "QueryInterface", "_Application"},
            {"Application", "CreateItem", "I4 0"},
            {"MailItem#1", std::string(f.name) + ".put", put},
            {"MailItem#1", "Display", "BOOL false"},
            {"MailItem#1", std::string(f.name) + ".get", ""},
        };
        EXPECT_EQ(Calls(), expected);
    }
}

TEST_F(OutlookTest, OneConnectionAndANewItemForEveryCreateItem) {
    TOutlookApplication outlook;
    outlook.Connect();
    outlook.Connect();
    outlook.CreateItem()->SetField(TMailField::To, u"a@example.jp; ");
    outlook.CreateItem()->SetField(TMailField::CC, u"b@example.jp; ");
    const std::vector<TCall> expected = {
        {"Application", "QueryInterface", "_Application"}, {"Application", "CreateItem", "I4 0"},
        {"MailItem#1", "To.put", "BSTR a@example.jp; "},   {"Application", "CreateItem", "I4 0"},
        {"MailItem#2", "CC.put", "BSTR b@example.jp; "},
    };
    EXPECT_EQ(Calls(), expected);
    int created = 0;
    for (const TCall& c : ReadLog()) {
        created += c.member == "create";
    }
    EXPECT_EQ(created, 1);
}

TEST_F(OutlookTest, TextOutsideCodePage932CrossesWhole) {
    const std::u16string text = u"caf\u00e9 \U0001F600 \uD55C; ";
    TOutlookApplication outlook;
    auto item = outlook.CreateItem();
    item->SetField(TMailField::BCC, text);
    EXPECT_EQ(item->GetField(TMailField::BCC), text);
}

TEST_F(OutlookTest, ActiveItemWindow) {
    struct TCase {
        const char* what;
        std::string control;
        bool item;  // a mail item comes back
    };
    const TCase cases[] = {
        {"no item window", "", false},
        {"window without an item", "open\tempty\n", false},
        {"mail item", "open\tmail\tx@example.jp\tcc@example.jp\t\n", true},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.what);
        DeleteFileW(kLog.c_str());
        WriteControl(c.control);
        TOutlookApplication outlook;
        auto item = outlook.ActiveItem();
        EXPECT_EQ(item != nullptr, c.item);
        if (item) {
            EXPECT_EQ(item->GetField(TMailField::To), u"x@example.jp");
            EXPECT_EQ(item->GetField(TMailField::CC), u"cc@example.jp");
            EXPECT_EQ(item->GetField(TMailField::BCC), u"");
        }
        std::vector<std::string> members;
        for (const TCall& call : Calls()) {
            members.push_back(call.member);
        }
        std::vector<std::string> expected = {"QueryInterface", "ActiveInspector"};
        if (c.control.empty() == false) {
            expected.push_back("CurrentItem");
        }
        if (c.item) {
            expected.insert(expected.end(), {"To.get", "CC.get", "BCC.get"});
        }
        EXPECT_EQ(members, expected);
    }
}

TEST_F(OutlookTest, AContactInTheWindowIsNoMailItem) {
    WriteControl("open\tcontact\n");
    TOutlookApplication outlook;
    const auto e = Caught<EIntfCastError>([&] { outlook.ActiveItem(); });
    ASSERT_TRUE(e);
    EXPECT_STREQ(e->what(), "Interface はサポートされていません");
}

TEST_F(OutlookTest, AShownItemIsTheActiveWindowsItem) {
    TOutlookApplication outlook;
    auto created = outlook.CreateItem();
    created->SetField(TMailField::To, u"old@example.jp");
    EXPECT_EQ(outlook.ActiveItem(), nullptr) << "not shown yet";
    created->Display();
    auto active = outlook.ActiveItem();
    ASSERT_NE(active, nullptr);
    active->SetField(TMailField::To, u"old@example.jp; " + kRecipients);
    EXPECT_EQ(created->GetField(TMailField::To), u"old@example.jp; " + kRecipients);
}

// ---------------------------------------------------------------------------
// Failures, as the error report shows them.

struct TFailCase {
    const char* what;
    const char* control;  // after "fail\tMEMBER\t"
    bool exception;       // EOleException, else EOleSysError
    int32_t code;
    const char* message;  // nullptr: the system's words for code
    const char* source;
    const char* helpFile;
    uint32_t helpContext;
};

const TFailCase kDispatchFailures[] = {
    {"exception with a description",
     "80020009\texcep\t80041234\tアイテムは使用中です. .\x1F \tOutlook\toutlook.chm\t42", true,
     kNoSystemText, "アイテムは使用中です", "Outlook", "outlook.chm", 42},
    {"exception without a description", "80020009\texcep\t80041234", true, kNoSystemText,
     "OLE エラー 80041234", "", "", 0},
    {"exception with the system's words", "80020009\texcep\t80070005", true,
     static_cast<int32_t>(0x80070005u), nullptr, "", "", 0},
    {"exception without a code of its own", "80020009\texcep\t0\tno code", true,
     static_cast<int32_t>(0x80020009u), "no code", "", "", 0},
    {"other status", "80041234", false, kNoSystemText, "OLE エラー 80041234", "", "", 0},
    {"other status with system words", "80004005", false, static_cast<int32_t>(0x80004005u),
     nullptr, "", "", 0},
    // A dispatch call's error information is not the thread's.
    {"other status, error information ignored", "80041234\terrorinfo\tnot this", false,
     kNoSystemText, "OLE エラー 80041234", "", "", 0},
};

const TFailCase kMailItemFailures[] = {
    {"error information",
     "80041234\terrorinfo\t宛先が正しくありません。 .\tOutlook\toutlook.chm\t7", true,
     kNoSystemText, "宛先が正しくありません。", "Outlook", "outlook.chm", 7},
    {"no error information", "80041234", true, kNoSystemText, "OLE エラー 80041234", "", "", 0},
    {"system words", "80070005", true, static_cast<int32_t>(0x80070005u), nullptr, "", "", 0},
    {"exception information", "80020009\texcep\t80041234\tbusy\tOutlook", true, kNoSystemText,
     "busy", "Outlook", "", 0},
};

// Runs action and checks the error's kind and every field it carries.
void CheckFailureKind(const TFailCase& c, const std::function<void()>& action) {
    try {
        action();
        ADD_FAILURE() << "no error";
    } catch (const EOleException& e) {
        EXPECT_TRUE(c.exception) << "EOleException where EOleSysError was due";
        EXPECT_EQ(static_cast<uint32_t>(e.ErrorCode()), static_cast<uint32_t>(c.code));
        EXPECT_EQ(e.what(), c.message ? std::string(c.message) : SystemWords(c.code));
        EXPECT_EQ(e.Source(), c.source);
        EXPECT_EQ(e.HelpFile(), c.helpFile);
        EXPECT_EQ(e.HelpContext(), c.helpContext);
    } catch (const EOleSysError& e) {
        EXPECT_FALSE(c.exception) << "EOleSysError where EOleException was due";
        EXPECT_EQ(static_cast<uint32_t>(e.ErrorCode()), static_cast<uint32_t>(c.code));
        const std::string message = c.message ? c.message : SystemWords(c.code);
        EXPECT_FALSE(message.empty());
        EXPECT_EQ(e.what(), message);
    } catch (const std::exception& e) {
        ADD_FAILURE() << "another error: " << e.what();
    }
}

TEST_F(OutlookTest, DispatchCallFailures) {
    const struct {
        const char* member;
        const char* setup;
        std::function<void(TOutlookApplication&)> action;
    } members[] = {
        {"CreateItem", "", [](TOutlookApplication& o) { o.CreateItem(); }},
        {"ActiveInspector", "", [](TOutlookApplication& o) { o.ActiveItem(); }},
        {"CurrentItem", "open\tmail\n", [](TOutlookApplication& o) { o.ActiveItem(); }},
    };
    for (const auto& m : members) {
        for (const TFailCase& c : kDispatchFailures) {
            SCOPED_TRACE(std::string(m.member) + ": " + c.what);
            WriteControl(std::string(m.setup) + "fail\t" + m.member + "\t" + c.control + "\n");
            TOutlookApplication outlook;
            CheckFailureKind(c, [&] { m.action(outlook); });
        }
    }
}

TEST_F(OutlookTest, MailItemCallFailures) {
    const struct {
        const char* member;
        std::function<void(TMailItem&)> action;
    } members[] = {
        {"To.get", [](TMailItem& i) { i.GetField(TMailField::To); }},
        {"To.put", [](TMailItem& i) { i.SetField(TMailField::To, u"a; "); }},
        {"CC.put", [](TMailItem& i) { i.SetField(TMailField::CC, u"a; "); }},
        {"BCC.get", [](TMailItem& i) { i.GetField(TMailField::BCC); }},
        {"Display", [](TMailItem& i) { i.Display(); }},
    };
    for (const auto& m : members) {
        for (const TFailCase& c : kMailItemFailures) {
            SCOPED_TRACE(std::string(m.member) + ": " + c.what);
            WriteControl(std::string("fail\t") + m.member + "\t" + c.control + "\n");
            TOutlookApplication outlook;
            auto item = outlook.CreateItem();
            CheckFailureKind(c, [&] { m.action(*item); });
        }
    }
}

TEST_F(OutlookTest, AServerWithoutTheApplicationInterface) {
    WriteControl("fail\t_Application\t80004002\n");
    TOutlookApplication outlook;
    const auto e = Caught<EIntfCastError>([&] { outlook.CreateItem(); });
    ASSERT_TRUE(e);
    EXPECT_STREQ(e->what(), "Interface はサポートされていません");
}

TEST_F(OutlookTest, OutlookNotInstalled) {
    Register(false, false);
    TOutlookApplication outlook;
    const auto e = Caught<EOleSysError>([&] { outlook.CreateItem(); });
    ASSERT_TRUE(e);
    EXPECT_EQ(static_cast<uint32_t>(e->ErrorCode()), static_cast<uint32_t>(REGDB_E_CLASSNOTREG));
    EXPECT_EQ(e->what(), SystemWords(REGDB_E_CLASSNOTREG));
    EXPECT_TRUE(ReadLog().empty());
}

// ---------------------------------------------------------------------------
// The two roads to Outlook, across processes.

TEST_F(OutlookTest, ARunningOutlookIsTakenFromTheRunningObjectTable) {
    TRunningOutlook running;
    ASSERT_TRUE(running.Ok());
    {
        TOutlookApplication outlook;
        auto item = outlook.CreateItem();
        item->SetField(TMailField::CC, kRecipients);
        item->Display();
        auto active = outlook.ActiveItem();
        ASSERT_NE(active, nullptr);
        EXPECT_EQ(active->GetField(TMailField::CC), kRecipients);
    }
    for (const std::string& role : Roles()) {
        EXPECT_EQ(role, running.Role()) << "every call in the running Outlook, none in process";
    }
    const std::vector<TCall> expected = {
        {"Application", "QueryInterface", "_Application"},
        {"Application", "CreateItem", "I4 0"},
        {"MailItem#1", "CC.put", "BSTR " + Utf16ToUtf8(kRecipients)},
        {"MailItem#1", "Display", "BOOL false"},
        {"Application", "ActiveInspector", ""},
        {"Inspector#2", "CurrentItem", ""},
        {"MailItem#1", "CC.get", ""},
    };
    EXPECT_EQ(Calls(), expected);
}

TEST_F(OutlookTest, FailuresCrossTheProcessBoundary) {
    WriteControl(
        "open\tcontact\n"
        "fail\tCreateItem\t80020009\texcep\t80041234\t使用中です\tOutlook\toutlook.chm\t42\n");
    TRunningOutlook running;
    ASSERT_TRUE(running.Ok());
    TOutlookApplication outlook;
    CheckFailureKind({"", "", true, kNoSystemText, "使用中です", "Outlook", "outlook.chm", 42},
                     [&] { outlook.CreateItem(); });
    const auto e = Caught<EIntfCastError>([&] { outlook.ActiveItem(); });
    ASSERT_TRUE(e);
    EXPECT_STREQ(e->what(), "Interface はサポートされていません");
}

TEST_F(OutlookTest, AnOutlookThatIsNotRunningIsStarted) {
    Register(false, true);  // only the local server, as Outlook installs itself
    {
        TOutlookApplication outlook;
        EXPECT_EQ(outlook.ActiveItem(), nullptr);  // started, but no item window
    }
    const std::vector<DWORD> pids = ServerPids();
    ASSERT_EQ(pids.size(), 1u);
    std::vector<std::string> members;
    for (const TCall& c : ReadLog()) {
        EXPECT_EQ(c.role, "local:" + std::to_string(pids[0]));
        members.push_back(c.member);
    }
    EXPECT_EQ(members,
              (std::vector<std::string>{"create", "serve", "QueryInterface", "ActiveInspector"}));
    EXPECT_TRUE(Running()) << "left running, never asked to quit";
}

TEST_F(OutlookTest, AnOutlookThatEndsLeavesErrorsOnTheHeldConnection) {
    TRunningOutlook running;
    ASSERT_TRUE(running.Ok());
    TOutlookApplication outlook;
    outlook.Connect();
    StopServer(running.Pid());
    try {
        outlook.CreateItem();
        ADD_FAILURE() << "no error";
    } catch (const EOleException& e) {
        ADD_FAILURE() << "EOleException: " << e.what();
    } catch (const EOleSysError& e) {
        EXPECT_LT(e.ErrorCode(), 0);
        EXPECT_EQ(e.what(), SystemWords(e.ErrorCode()));
        EXPECT_NE(std::string(e.what()), "");
    }
}

}  // namespace
