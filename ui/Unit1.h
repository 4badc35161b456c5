// The main window: the group tree, the member list and the panel of commands.
#pragma once

#include <QTreeView>
#include <QWidget>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "AddressBook.h"
#include "ItemModels.h"
#include "MailClient.h"

class QAction;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QRadioButton;
class TForm2;
class TGroupTreeBuilder;

// The version shown in the caption and beside the credit label.
inline constexpr char kVersionText[] = "ver. 0.99";

// The member list: report style; its two columns share the client width.
class TListView : public QTreeView {
    Q_OBJECT
  public:
    explicit TListView(QWidget* parent = nullptr);

  signals:
    void DoubleClicked();

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
};

class TForm1 : public QWidget {
    Q_OBJECT
  public:
    explicit TForm1(QWidget* parent = nullptr);
    ~TForm1() override;

    // Controls, named as designed (each also its objectName).
    TListView* ListView1;
    QTreeView* TreeView1;
    QWidget* Panel1;
    QLabel* Label1;
    QLineEdit* Edit1;
    QPushButton* B_SETFOLDER;
    QPushButton* B_READ;
    QGroupBox* GroupBox1;
    QGroupBox* RadioGroup1;
    QRadioButton* RB_NewWin;
    QRadioButton* RB_ExistWin;
    QPushButton* B_TO;
    QPushButton* B_CC;
    QPushButton* B_BCC;
    QGroupBox* GroupBox2;
    QLabel* Label3;
    QLineEdit* Edit2;
    QPushButton* B_QUOTE;
    QPushButton* B_QUIT;
    QLabel* Label2;
    QLabel* ver_label;
    QLabel* Label4;
    TImageList* ImageList1;
    QMenu* PopupMenu1;
    QAction* Property1;

    // The entry last chosen with the Properties command.
    TCard PropertyCard;

    // The properties dialog that Property1Click shows; the program's entry creates it.
    TForm2* Form2 = nullptr;

    // The current address book, or null before the first read that found its folder.
    const TAddressBook* Book() const { return book_.get(); }

    TListModel* ListModel() const { return listModel_; }
    TTreeModel* TreeModel() const { return treeModel_; }

    // Captions (cp932) of the selected list rows, top to bottom.
    std::vector<std::string> SelectedCaptions() const;

    // Window edges as the preferences file holds them: the outer bounds.
    int Left() const;
    int Top() const;
    int Width() const;
    int Height() const;
    void SetLeft(int left);
    void SetTop(int top);
    void SetWidth(int width);
    void SetHeight(int height);

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

    // Recipient buttons (ui/Unit1Recipients.cpp).
    void B_TOClick();
    void B_CCClick();
    void B_BCCClick();
    std::string getAddress();
    // The mail item the next write goes to, or null when there is none.
    std::unique_ptr<TMailItem> getMailItem();

    // The mail client the recipient buttons write to (OutlookApplication1); the
    // window starts with the platform's own. RB_ExistWin is usable only with a
    // client that reaches open item windows.
    void SetMailClient(std::unique_ptr<TMailClient> client);
    TMailClient* MailClient() const { return OutlookApplication1.get(); }

    // Quote button (ui/Unit1Quote.cpp).
    void B_QUOTEClick();

    // Preferences.
    std::filesystem::path getIniFileName() const;
    void ReadPrefs();
    void SavePrefs();

    // Points getIniFileName at a fixed path (tests); nullopt restores the usual rule.
    static void SetIniFileOverride(std::optional<std::filesystem::path> path);

    // The mail link of the credit label.
    static QString MailLink();

  signals:
    // The window was closed (B_QUIT or its close box); the program ends.
    void Closed();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void CreateControls();
    void ConnectHandlers();
    void SetTabOrder();
    void MoveOntoScreen();
    void AdoptFrame();
    void WriteRecipients(TMailField field);

    std::unique_ptr<TAddressBook> book_;
    TListModel* listModel_;
    TTreeModel* treeModel_;
    bool frameAdopted_ = false;
    std::unique_ptr<TMailClient> OutlookApplication1;
};
