// The main window's behaviour: the group tree, the member list and the panel
// of commands, free of any toolkit. A face (ui/qt, ui/win32) creates the
// controls, implements TForm1View and forwards each event to its handler here.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/AddressBook.h"
#include "core/Prefs.h"
#include "mailclient/MailClient.h"
#include "ui/Form1View.h"
#include "ui/FormDescription.h"

class TForm2;
class TGroupTreeBuilder;

// The preferences of the run (the main window's unit holds the one instance).
extern TPrefs Prefs;

// The recipient form that Prefs.MailAddressOnly asks for: bare addresses
// exactly when it is "YES".
TRecipientForm RecipientForm(const TPrefs& prefs);

// The message when a bound cut the tree, with the number of nodes shown.
std::string TreeTruncatedMessage(size_t shownNodes);

// The message when the chosen folder's name has no cp932 form; the folder in
// UTF-8 on every system, since cp932 cannot hold it.
std::string FolderNotCp932Message(std::string_view utf8Folder);

class TForm1 {
  public:
    // design is the form the view draws (scaled for its screen); it must
    // outlive the window.
    explicit TForm1(TForm1View& view, const TFormDescription& design = Form1Description());
    ~TForm1();
    TForm1(const TForm1&) = delete;
    TForm1& operator=(const TForm1&) = delete;

    // The entry last chosen with the Properties command.
    TCard PropertyCard;

    // The properties dialog that Property1Click shows; the program's entry creates it.
    TForm2* Form2 = nullptr;

    // The current address book, or null before the first read that found its folder.
    const TAddressBook* Book() const { return book_.get(); }

    // Handlers and methods of the window.
    void FormCreate();
    void FormDestroy();
    void resizeWindow();
    void B_READClick();
    // Adds group name and the groups below it under parentNode, through the
    // builder of the read in progress.
    void AddToTreeView(TGroupTreeBuilder& tree, const std::string& name, int parentNode);
    void TreeView1Change();
    void ListView1DblClick();
    void Property1Click();
    void B_SETFOLDERClick();
    void B_QUITClick();
    void FormMouseMove();
    void Label4MouseMove();
    void Label4Click();

    // Recipient buttons (Unit1Recipients.cpp).
    void B_TOClick();
    void B_CCClick();
    void B_BCCClick();
    std::string getAddress();
    // The mail item the next write goes to, or null when there is none.
    std::unique_ptr<TMailItem> getMailItem();

    // The mail client the recipient buttons write to (OutlookApplication1).
    // RB_ExistWin is usable only while the client reaches open item windows.
    void SetMailClient(std::unique_ptr<TMailClient> client);
    // The client's reach changed while the program runs.
    void MailClientReachChanged();

    // A hand-off to the mail client is under way (Unit1Recipients.cpp).
    bool HandingOff() const { return handOff_ != nullptr; }
    // The progress window's "中止": stop waiting for the mail client.
    void ProgressCancelClick();
    // The window is asked to close; false while a hand-off lasts, and the
    // window then closes when it ends.
    bool CloseQuery();

    // Quote button (Unit1Quote.cpp).
    void B_QUOTEClick();

    // Preferences (Unit1Prefs.cpp).
    std::filesystem::path getIniFileName() const;
    void ReadPrefs();
    void SavePrefs();

    // Points getIniFileName at a fixed path (tests); nullopt restores the usual rule.
    static void SetIniFileOverride(std::optional<std::filesystem::path> path);

    // The mail link of the credit label.
    static const char* MailLink();

    TForm1View& View() const { return view_; }
    const TFormDescription& Design() const { return design_; }

  private:
    class THandOff;
    void MoveOntoScreen();
    void WriteRecipients(TMailField field);
    std::string Recipients(size_t& count);

    TForm1View& view_;
    const TFormDescription& design_;
    std::unique_ptr<TAddressBook> book_;
    std::unique_ptr<TMailClient> OutlookApplication1;
    THandOff* handOff_ = nullptr;
    bool closePending_ = false;
};

// How long a hand-off runs before the progress window shows, and how often
// the window's time then moves on.
inline constexpr int kProgressDelayMs = 1000;
// The progress window's text: "Thunderbird に 10,000 件の宛先を渡しています… 12 秒"
// (UTF-8).
std::string HandOffProgressText(const std::string& client, size_t recipients, long seconds);
