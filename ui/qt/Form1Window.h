// The Qt face of the main window: the controls at their design bounds, each
// with its name as objectName, and every event forwarded to its TForm1
// handler through Guarded.
#pragma once

#include <QTreeView>
#include <QWidget>
#include <memory>

#include "ui/Unit1.h"
#include "ui/qt/ItemModels.h"
#include "ui/qt/ProgressWindow.h"
#include "ui/qt/QtDirDialog.h"
#include "ui/qt/QtEventLoop.h"
#include "ui/qt/QtForm.h"

class QAction;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QRadioButton;

class TForm1Window : public QWidget, public TForm1View {
    Q_OBJECT
  public:
    // Creates the controls and runs FormCreate.
    explicit TForm1Window(QWidget* parent = nullptr);
    // Runs FormDestroy.
    ~TForm1Window() override;

    // The window's behaviour.
    TForm1 Form;

    // Controls, named as designed.
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
    // The hand-off's progress window.
    TQtProgressWindow* Form3;

    TListModel* ListModel() const { return listModel_; }
    TTreeModel* TreeModel() const { return treeModel_; }

    // ---- TForm1View
    void SetCaption(const std::string& text) override;
    int ClientWidth() const override { return width(); }
    int ClientHeight() const override { return height(); }
    int Left() const override;
    int Top() const override;
    int Width() const override;
    int Height() const override;
    void SetLeft(int left) override;
    void SetTop(int top) override;
    void SetWidth(int width) override;
    void SetHeight(int height) override;
    std::vector<TBounds> Screens() const override;
    TBounds PrimaryWorkArea() const override;
    void Close() override;
    TBounds Bounds(TLayoutControl control) const override;
    void SetBounds(TLayoutControl control, const TBounds& bounds) override;
    void TreeClear() override;
    int TreeAddNode(int parent, const std::string& text, int image, int selectedImage) override;
    void TreeBeginUpdate() override;
    void TreeEndUpdate() override;
    void TreeExpandAll() override;
    int TreeNodeCount() const override;
    std::string TreeNodeText(int node) const override;
    int TreeSelected() const override;
    void TreeSelect(int node) override;
    void ListClear() override;
    void ListAddItems(std::vector<TListItem> items) override;
    std::vector<std::string> ListSelectedCaptions() const override;
    void ListSetColumnCaption(int column, const std::string& text) override;
    std::string EditText(TEditBox box) const override;
    void SetEditText(TEditBox box, const std::string& text) override;
    std::string QuoteMark() const override;
    bool RadioChecked(TRadioButton button) const override;
    void CheckRadio(TRadioButton button) override;
    void SetRadioEnabled(TRadioButton button, bool enabled, const std::string& hint) override;
    void SetLabelCaption(TLabelControl label, const std::string& text) override;
    void SetLabelColor(TLabelControl label, TSystemColor color) override;
    TDirDialogPlatform& FolderChooser() override { return folderChooser_; }
    std::string ReadClipboardText() override;
    void WriteClipboardText(const std::string& text) override;
    void OpenLink(const std::string& url) override;
    std::filesystem::path ExecutablePath() const override;
    std::filesystem::path UserConfigDir() const override;
    void SetBusyCursor(bool busy) override;
    void SetButtonEnabled(TCommandButton button, bool enabled) override;
    TProgressView& Progress() override { return *Form3; }
    TEventLoop& EventLoop() override { return eventLoop_; }

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
    void AdoptFrame();
    QWidget* Control(TLayoutControl control) const;
    QLineEdit* Edit(TEditBox box) const;
    QRadioButton* Radio(TRadioButton button) const;
    QLabel* Label(TLabelControl label) const;

    TListModel* listModel_;
    TTreeModel* treeModel_;
    TQtDirDialogPlatform folderChooser_;
    TQtEventLoop eventLoop_;
    bool frameAdopted_ = false;
};
