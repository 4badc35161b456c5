// The recipient buttons through the window's behaviour, with a recording mail client.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "core/Encoding.h"
#include "core/TextUtf.h"
#include "mailclient/EventLoop.h"
#include "tests/support/FakeMailClient.h"
#include "tests/support/MemoryWindow.h"
#include "tests/support/TestFiles.h"
#include "ui/ErrorReport.h"
#include "ui/Unit1.h"

namespace {

namespace fs = std::filesystem;

const std::string kCards =
    "Nickname: 佐藤 和子\r\nAddress: kazuko@example.jp\r\n.\r\n"
    "Nickname: Bob\r\nAddress: bob@example.com\r\n.\r\n"
    "Nickname: 田中 宏\r\nAddress: hiroshi@example.jp\r\n.\r\n"
    "Nickname: 住所なし\r\n.\r\n";
const std::string kGroups =
    "Name: \\\r\nEntry: 家族,\r\n Bob,\r\n 田中 宏,\r\n 空,\r\n 不明,\r\n 住所なし\r\n.\r\n"
    "Name: 家族\r\nEntry: 佐藤 和子,\r\n Bob\r\n.\r\n"
    "Name: 空\r\n.\r\n";

const std::string kBob = "\"Bob\"<bob@example.com>; ";
const std::string kTanaka = "\"田中 宏\"<hiroshi@example.jp>; ";

class RecipientActions : public ::testing::Test {
  protected:
    void SetUp() override {
        TForm1::SetIniFileOverride(temp.path() / "quorvantel.ini");
        WriteAll(temp.path() / "mail" / "card.dat", Utf8ToCp932(kCards));
        WriteAll(temp.path() / "mail" / "group.dat", Utf8ToCp932(kGroups));

        window = std::make_unique<TMemoryWindow>();
        window->Create();
        form = &window->Form;
        fake = &window->Mail();
        view().SetEditText(TEditBox::Edit1, PathToCp932(temp.path() / "mail"));
        form->B_READClick();
        Prefs = TPrefs{};
        view().SelectNode("\\");
    }
    void TearDown() override {
        window.reset();
        Prefs = TPrefs{};
        TForm1::SetIniFileOverride(std::nullopt);
    }

    TMemoryForm1View& view() { return window->View; }

    // Selects list rows by caption, in the order given.
    void Select(const std::vector<std::string>& utf8Captions) {
        std::set<int> rows;
        for (const std::string& caption : utf8Captions) {
            const auto& items = view().Items;
            const auto it = std::find_if(items.begin(), items.end(), [&](const TListItem& item) {
                return item.Caption == Utf8ToCp932(caption);
            });
            ASSERT_NE(it, items.end()) << caption;
            rows.insert(static_cast<int>(it - items.begin()));
        }
        view().SelectedRows = rows;
    }

    void Press(const std::string& button) {
        if (button == "B_TO") {
            window->Do(&TForm1::B_TOClick);
        } else if (button == "B_CC") {
            window->Do(&TForm1::B_CCClick);
        } else if (button == "B_BCC") {
            window->Do(&TForm1::B_BCCClick);
        } else {
            FAIL() << button;
        }
    }

    void UseExistingWindow() {
        view().CheckRadio(TRadioButton::RB_ExistWin);
        ASSERT_FALSE(view().RadioChecked(TRadioButton::RB_NewWin));
    }

    static std::string U8(const std::u16string& s) { return Utf16ToUtf8(s); }

    TempDir temp;
    std::unique_ptr<TMemoryWindow> window;
    TForm1* form = nullptr;
    TFakeMailClient* fake = nullptr;
    std::vector<std::string>& reports() { return window->Reports; }
};

const char* const kButtons[] = {"B_TO", "B_CC", "B_BCC"};
const TMailField kFields[] = {TMailField::To, TMailField::CC, TMailField::BCC};

std::u16string FieldOf(const TFakeItem& item, TMailField field) {
    return field == TMailField::To ? item.To : field == TMailField::CC ? item.CC : item.BCC;
}

TEST_F(RecipientActions, NothingToWriteContactsNothing) {
    for (const auto& selection : {std::vector<std::string>{}, std::vector<std::string>{"空"}}) {
        Select(selection);
        for (const bool append : {false, true}) {
            Prefs.UseAppendMode = append;
            for (const bool existing : {false, true}) {
                if (existing) {
                    UseExistingWindow();
                } else {
                    view().CheckRadio(TRadioButton::RB_NewWin);
                }
                for (const char* button : kButtons) {
                    Press(button);
                }
            }
        }
    }
    EXPECT_TRUE(fake->Calls.empty());
    EXPECT_EQ(fake->Connections, 0);
    EXPECT_TRUE(reports().empty());
}

TEST_F(RecipientActions, ReplaceModeNewItemHoldsExactlyTheRecipients) {
    Select({"Bob"});
    for (int i = 0; i < 3; ++i) {
        fake->Calls.clear();
        Press(kButtons[i]);
        const std::string field = FieldName(kFields[i]);
        const std::vector<std::string> expected = {"CreateItem", "Set " + field + ": " + kBob,
                                                   "Display", "Release " + std::to_string(i + 1)};
        if (i == 0) {
            ASSERT_FALSE(fake->Calls.empty());
            EXPECT_EQ(fake->Calls.front(), "Connect");
            fake->Calls.erase(fake->Calls.begin());
        }
        EXPECT_EQ(fake->Calls, expected);
        ASSERT_EQ(fake->Created.size(), static_cast<size_t>(i + 1));
        const TFakeItem& item = *fake->Created.back();
        EXPECT_EQ(U8(FieldOf(item, kFields[i])), kBob);
        EXPECT_EQ(item.Displays, 1);
    }
    EXPECT_EQ(fake->Connections, 1);  // one connection for the window's life
    EXPECT_TRUE(reports().empty());
}

TEST_F(RecipientActions, AppendAndReplaceOnNewAndExistingItems) {
    // X holds characters that code page 932 lacks; they must come back unchanged.
    const std::u16string old = u"Ω😀 Ärger <x@example.jp>; ";
    struct Case {
        bool append;
        bool existing;
        std::u16string before;
        std::string after;
    };
    const std::vector<Case> cases = {
        {false, false, u"", kTanaka},
        {false, true, old, kTanaka},
        {true, false, u"", "; " + kTanaka},
        {true, true, u"", "; " + kTanaka},
        {true, true, old, U8(old) + "; " + kTanaka},
    };
    Select({"田中 宏"});
    for (const Case& c : cases) {
        Prefs.UseAppendMode = c.append;
        for (int i = 0; i < 3; ++i) {
            SCOPED_TRACE(std::string(kButtons[i]) + (c.append ? " append" : " replace") +
                         (c.existing ? " existing" : " new"));
            std::shared_ptr<TFakeItem> item;
            if (c.existing) {
                UseExistingWindow();
                fake->InspectorOpen = true;
                fake->OpenItem = std::make_shared<TFakeItem>();
                fake->OpenItem->To = fake->OpenItem->CC = fake->OpenItem->BCC = c.before;
                item = fake->OpenItem;
                const size_t created = fake->Created.size();
                Press(kButtons[i]);
                EXPECT_EQ(fake->Created.size(), created);
            } else {
                view().CheckRadio(TRadioButton::RB_NewWin);
                Press(kButtons[i]);
                ASSERT_FALSE(fake->Created.empty());
                item = fake->Created.back();
            }
            EXPECT_EQ(U8(FieldOf(*item, kFields[i])), c.after);
            if (c.existing) {
                // The other fields are left alone.
                for (int j = 0; j < 3; ++j) {
                    if (j != i) {
                        EXPECT_EQ(FieldOf(*item, kFields[j]), c.before);
                    }
                }
            }
            EXPECT_EQ(item->Displays, 1);  // shown in both modes, by every button
        }
    }
    EXPECT_EQ(fake->Connections, 1);
    EXPECT_TRUE(reports().empty());
}

TEST_F(RecipientActions, RecipientTextFollowsTheListOrderAndKeepsDuplicates) {
    // Rows picked bottom-up; the text still follows the list from the top.
    Select({"Bob", "家族"});
    Press("B_TO");
    ASSERT_EQ(fake->Created.size(), 1u);
    const std::string to = U8(fake->Created[0]->To);
    const std::string family =
        Cp932ToUtf8(form->Book()->JoinedRecipients(Utf8ToCp932("家族"), RecipientForm(Prefs)));
    EXPECT_EQ(to, family + kBob);
    EXPECT_NE(family.find(kBob), std::string::npos);
    EXPECT_NE(family.find("\"佐藤 和子\"<kazuko@example.jp>; "), std::string::npos);
    EXPECT_EQ(family.size(),
              kBob.size() + std::string("\"佐藤 和子\"<kazuko@example.jp>; ").size());
}

TEST_F(RecipientActions, EntriesWithAnEmptyItemStillWrite) {
    Select({"不明"});  // neither card nor group: "; " alone
    Press("B_CC");
    ASSERT_EQ(fake->Created.size(), 1u);
    EXPECT_EQ(U8(fake->Created[0]->CC), "; ");

    Prefs.MailAddressOnly = "YES";
    Select({"住所なし", "Bob"});
    Press("B_BCC");
    ASSERT_EQ(fake->Created.size(), 2u);
    EXPECT_EQ(U8(fake->Created[1]->BCC), "bob@example.com; ; ");  // list order
}

TEST_F(RecipientActions, ToThenCcGivesTwoItems) {
    Select({"Bob"});
    Press("B_TO");
    Press("B_CC");
    ASSERT_EQ(fake->Created.size(), 2u);
    EXPECT_EQ(U8(fake->Created[0]->To), kBob);
    EXPECT_TRUE(fake->Created[0]->CC.empty());
    EXPECT_TRUE(fake->Created[1]->To.empty());
    EXPECT_EQ(U8(fake->Created[1]->CC), kBob);
    EXPECT_EQ(fake->Connections, 1);
}

TEST_F(RecipientActions, NoItemStaysSilent) {
    Select({"Bob"});
    UseExistingWindow();
    Press("B_TO");  // no item window
    EXPECT_EQ(fake->Calls, (std::vector<std::string>{"Connect", "ActiveInspector"}));
    fake->InspectorOpen = true;  // a window without an item
    fake->Calls.clear();
    Press("B_BCC");
    EXPECT_EQ(fake->Calls, (std::vector<std::string>{"ActiveInspector", "CurrentItem"}));
    EXPECT_TRUE(fake->Created.empty());
    EXPECT_TRUE(reports().empty());
}

TEST_F(RecipientActions, EachErrorKindReportsItsMessageAndEndsTheAction) {
    const auto status = [](uint32_t s) { return static_cast<int32_t>(s); };
    struct Case {
        const char* name;
        bool existing;
        bool append;
        std::string failing;  // the call made to fail
        TFakeMailClient::Failure failure;
        std::string message;
        std::string lastCall;  // the action's last call before the failure ends it
    };
    const std::vector<Case> cases = {
        {"client cannot be started",
         false,
         false,
         "CoCreateInstance",
         {status(0x80040154), 0, {}},
         "OLE エラー 80040154",
         "CoCreateInstance"},
        {"no _Application",
         false,
         false,
         "QueryApplication",
         {},
         "Interface はサポートされていません",
         "Connect"},
        {"CreateItem raises",
         false,
         false,
         "CreateItem",
         {kDispException,
          status(0x80004005),
          {"新しいアイテムを作成できません。\r\n", "Outlook", "", 0}},
         "新しいアイテムを作成できません。",
         "CreateItem"},
        {"CreateItem fails",
         false,
         false,
         "CreateItem",
         {status(0x800706BA), 0, {}},
         "OLE エラー 800706BA",
         "CreateItem"},
        {"ActiveInspector raises without words",
         true,
         false,
         "ActiveInspector",
         {kDispException, status(0x80004005), {" . ", "", "", 0}},
         "OLE エラー 80004005",
         "ActiveInspector"},
        {"CurrentItem fails",
         true,
         false,
         "CurrentItem",
         {status(0x80010108), 0, {}},
         "OLE エラー 80010108",
         "CurrentItem"},
        {"not a mail item",
         true,
         false,
         "QueryMailItem",
         {},
         "Interface はサポートされていません",
         "CurrentItem"},
        {"reading the field",
         true,
         true,
         "Get To",
         {status(0x80004005), 0, {"読めません", "", "", 0}},
         "読めません",
         "Get To"},
        {"writing the field",
         false,
         false,
         "Set To",
         {status(0x80070005), 0, {"書き込めません...", "", "", 0}},
         "書き込めません",
         "Set To: " + kBob},
        {"showing the item",
         false,
         true,
         "Display",
         {status(0x8004010F), 0, {}},
         "OLE エラー 8004010F",
         "Display"},
    };
    Select({"Bob"});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto client = std::make_unique<TFakeMailClient>();
        fake = client.get();
        form->SetMailClient(std::move(client));
        if (c.failing == "CoCreateInstance") {
            fake->Fail("GetActiveObject", 1);
        }
        fake->Fail(c.failing, c.failure);
        fake->InspectorOpen = true;
        fake->OpenItem = std::make_shared<TFakeItem>();
        Prefs.UseAppendMode = c.append;
        if (c.existing) {
            UseExistingWindow();
        } else {
            view().CheckRadio(TRadioButton::RB_NewWin);
        }
        reports().clear();
        Press("B_TO");
        EXPECT_EQ(reports(), std::vector<std::string>{ReportText(c.message)});
        // Nothing after the failing call but the release of the item.
        std::vector<std::string> calls = fake->Calls;
        if (!calls.empty() && calls.back().rfind("Release", 0) == 0) {
            calls.pop_back();
        }
        ASSERT_FALSE(calls.empty());
        EXPECT_EQ(calls.back(), c.lastCall);
        EXPECT_EQ(fake->OpenItem->Displays, 0);
        for (const auto& item : fake->Created) {
            EXPECT_EQ(item->Displays, 0);
        }
        // The window is unchanged: the same selection and target.
        EXPECT_EQ(view().ListSelectedCaptions(), std::vector<std::string>{"Bob"});
        EXPECT_EQ(view().RadioChecked(TRadioButton::RB_NewWin), !c.existing);

        // A held connection stays held: the next action works without a new one.
        const int connections = fake->Connections;
        fake->ClearFailures();
        reports().clear();
        Press("B_TO");
        EXPECT_TRUE(reports().empty());
        EXPECT_EQ(fake->Connections, 1);
        if (connections == 1) {
            EXPECT_EQ(std::count(fake->Calls.begin(), fake->Calls.end(), "Connect"), 1);
        }
    }
}

TEST_F(RecipientActions, ItemIsReleasedAtTheEndOfEveryAction) {
    Select({"Bob"});
    fake->Fail("Set To", static_cast<int32_t>(0x80004005u));
    Press("B_TO");
    EXPECT_EQ(fake->Calls.back(), "Release 1");
    fake->ClearFailures();
    Press("B_TO");
    EXPECT_EQ(fake->Calls.back(), "Release 2");
}

TEST_F(RecipientActions, ExistingWindowFollowsTheClientsReach) {
    const std::string hint = Utf8ToCp932("この環境では既存のメールウインドウに書き込めません");
    EXPECT_TRUE(view().RadioEnabled[TRadioButton::RB_ExistWin]);
    EXPECT_EQ(view().RadioHints[TRadioButton::RB_ExistWin], "");

    // The bridge goes while RB_ExistWin is on: RB_NewWin takes over.
    UseExistingWindow();
    fake->ChangeReach(false);
    EXPECT_FALSE(view().RadioEnabled[TRadioButton::RB_ExistWin]);
    EXPECT_EQ(view().RadioHints[TRadioButton::RB_ExistWin], hint);
    EXPECT_TRUE(view().RadioChecked(TRadioButton::RB_NewWin));
    EXPECT_TRUE(view().RadioEnabled[TRadioButton::RB_NewWin]);

    // It comes back: usable again, the choice left as it is.
    fake->ChangeReach(true);
    EXPECT_TRUE(view().RadioEnabled[TRadioButton::RB_ExistWin]);
    EXPECT_EQ(view().RadioHints[TRadioButton::RB_ExistWin], "");
    EXPECT_TRUE(view().RadioChecked(TRadioButton::RB_NewWin));

    // A client that never reaches open windows, given while RB_NewWin is on.
    auto client = std::make_unique<TFakeMailClient>();
    client->ReachesOpenItems = false;
    form->SetMailClient(std::move(client));
    EXPECT_FALSE(view().RadioEnabled[TRadioButton::RB_ExistWin]);
    EXPECT_TRUE(view().RadioChecked(TRadioButton::RB_NewWin));
}

// ---- A slow mail client: the hand-off waits in the window's event loop,
// whose clock only moves when nothing else is left to do.

class HandOff : public RecipientActions {
  protected:
    // The client takes its time over writing To; things happen meanwhile.
    void HoldSetTo(const std::vector<std::pair<int, std::function<void()>>>& atMs) {
        fake->Hold = [this, atMs](const std::string& call) {
            if (call != "Set To") {
                return;
            }
            std::vector<std::unique_ptr<TEventLoop::TSubscription>> timers;
            for (const auto& [ms, action] : atMs) {
                timers.push_back(view().Loop.CallAfter(std::chrono::milliseconds(ms), action));
            }
            view().Loop.RunUntil([this] { return released || fake->CancelRequested; });
        };
    }
    void Release() { released = true; }

    bool HeldButtons(bool enabled) {
        for (const TCommandButton b :
             {TCommandButton::B_TO, TCommandButton::B_CC, TCommandButton::B_BCC,
              TCommandButton::B_READ, TCommandButton::B_QUIT}) {
            if (view().ButtonEnabled.at(b) != enabled) {
                return false;
            }
        }
        return true;
    }
    std::string ProgressText() { return Cp932ToUtf8(view().ProgressWindow.Text); }

    bool released = false;
};

TEST_F(HandOff, HoldsTheCommandsAndShowsProgressAfterASecond) {
    Select({"家族", "Bob"});
    std::vector<std::string> seen;
    HoldSetTo({
        {0, [&] { seen.push_back(view().Busy && HeldButtons(false) ? "held" : "free"); }},
        {999, [&] { seen.push_back(view().ProgressWindow.Visible ? ProgressText() : "none"); }},
        {1001, [&] { seen.push_back(ProgressText()); }},
        {2500, [&] { seen.push_back(ProgressText()); }},
        // The rest of the window stays usable: another group's members show.
        {2600, [&] { view().SelectNode("家族"); }},
        {3000, [&] { Release(); }},
    });
    Press("B_TO");
    EXPECT_EQ(seen,
              (std::vector<std::string>{"held", "none", "Fake に 3 件の宛先を渡しています… 1 秒",
                                        "Fake に 3 件の宛先を渡しています… 2 秒"}));
    EXPECT_EQ(Cp932ToUtf8(view().ProgressWindow.Caption), "宛先の受け渡し");
    EXPECT_EQ(Cp932ToUtf8(view().ProgressWindow.Button), "中止");
    EXPECT_EQ(view().ProgressWindow.Shown, 1);
    EXPECT_FALSE(view().ProgressWindow.Visible) << "the window goes with the hand-off";
    EXPECT_FALSE(view().Busy);
    EXPECT_TRUE(HeldButtons(true));
    EXPECT_EQ(view().Rows().size(), 2u) << "the tree's selection changed meanwhile";
    ASSERT_EQ(fake->Created.size(), 1u);
    EXPECT_EQ(U8(fake->Created[0]->To), kBob + "\"佐藤 和子\"<kazuko@example.jp>; " + kBob);
    EXPECT_TRUE(reports().empty());
}

TEST_F(HandOff, UnderASecondShowsNothingNew) {
    Select({"Bob"});
    HoldSetTo({{999, [&] { Release(); }}});
    Press("B_TO");
    EXPECT_EQ(view().ProgressWindow.Shown, 0);
    EXPECT_TRUE(HeldButtons(true));
    EXPECT_FALSE(view().Busy);
    EXPECT_EQ(fake->Created.size(), 1u);
}

TEST_F(HandOff, AWaitThatCannotBeLeftHasNoButton) {
    Select({"Bob"});
    fake->Cancellable = false;
    std::string button = "?";
    HoldSetTo({{1500, [&] { button = view().ProgressWindow.Button; }}, {1600, [&] { Release(); }}});
    Press("B_TO");
    EXPECT_EQ(button, "");
    EXPECT_EQ(view().ProgressWindow.Shown, 1);
}

TEST_F(HandOff, CancelStopsWaitingAndTheWindowCarriesOn) {
    Select({"Bob"});
    HoldSetTo({{1500, [&] { window->Do(&TForm1::ProgressCancelClick); }}});
    Press("B_TO");
    ASSERT_EQ(reports().size(), 1u);
    EXPECT_EQ(reports()[0],
              "受け渡しを中止しました。Fake は渡された宛先をこのあと書き込むことがあります.");
    EXPECT_EQ(std::count(fake->Calls.begin(), fake->Calls.end(), "Display"), 0)
        << "nothing after the cancelled call";
    EXPECT_FALSE(view().ProgressWindow.Visible);
    EXPECT_TRUE(HeldButtons(true));
    EXPECT_FALSE(view().Busy);
    // The next press goes through as usual.
    fake->Hold = nullptr;
    Press("B_CC");
    ASSERT_EQ(fake->Created.size(), 2u);
    EXPECT_EQ(U8(fake->Created[1]->CC), kBob);
    EXPECT_EQ(reports().size(), 1u);
}

TEST_F(HandOff, AnotherPressOrACloseWaitsForTheEnd) {
    Select({"Bob"});
    bool closeAllowed = true;
    HoldSetTo({{100, [&] { window->Do(&TForm1::B_CCClick); }},
               {200, [&] { closeAllowed = form->CloseQuery(); }},
               {300, [&] { Release(); }}});
    Press("B_TO");
    EXPECT_FALSE(closeAllowed);
    EXPECT_EQ(fake->Created.size(), 1u) << "the press during the hand-off started another";
    EXPECT_EQ(U8(fake->Created[0]->To), kBob) << "what was under way is not lost";
    EXPECT_EQ(fake->Created[0]->Displays, 1);
    EXPECT_TRUE(view().Closed) << "the window closes when the hand-off ends";
}

TEST(HandOffProgressText, CountsWithThousandsSeparators) {
    const std::pair<size_t, const char*> cases[] = {{1, "1"},          {999, "999"},
                                                    {1000, "1,000"},   {10000, "10,000"},
                                                    {54930, "54,930"}, {1234567, "1,234,567"}};
    for (const auto& [count, shown] : cases) {
        EXPECT_EQ(HandOffProgressText("Thunderbird", count, 12),
                  std::string("Thunderbird に ") + shown + " 件の宛先を渡しています… 12 秒");
    }
}

}  // namespace
