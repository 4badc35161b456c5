#include "ui/qt/Form1Window.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStandardPaths>
#include <algorithm>

#include "ui/ErrorReport.h"
#include "ui/qt/ClipboardText.h"
#include "ui/qt/QtForm.h"
#include "ui/qt/UiText.h"

namespace {

// A label that would run into the next one on its line (fonts differ in
// width) is drawn a little tighter instead, keeping a small gap.
void FitLabel(QLabel* label, int nextLeft) {
    constexpr int kGap = 4;
    const int excess = label->x() + label->sizeHint().width() - (nextLeft - kGap);
    const auto count = label->text().size();
    if (excess <= 0 || count == 0) {
        return;
    }
    QFont font = label->font();
    font.setLetterSpacing(QFont::AbsoluteSpacing, -static_cast<qreal>(excess) / count);
    label->setFont(font);
    label->adjustSize();
}

void SetLabelBackground(QLabel* label, QPalette::ColorRole role) {
    QPalette palette = label->palette();
    palette.setColor(QPalette::Window, label->parentWidget()->palette().color(role));
    label->setPalette(palette);
}

}  // namespace

// ---- TForm1Window

TForm1Window::TForm1Window(QWidget* parent) : QWidget(parent), Form(*this), folderChooser_(this) {
    setMouseTracking(true);

    BuildForm(*this, Form.Design());
    ImageList1 = FormControl<TImageList>(*this, "ImageList1");
    listModel_ = new TListModel(*ImageList1, this);
    treeModel_ = new TTreeModel(*ImageList1, this);

    CreateControls();
    Form3 = new TQtProgressWindow(this, [this] { Form.ProgressCancelClick(); });
    ConnectHandlers();

    PlaceForm(*this, Form.Design());

    Guarded([this] { Form.FormCreate(); });
}

TForm1Window::~TForm1Window() {
    Guarded([this] { Form.FormDestroy(); });
}

void TForm1Window::CreateControls() {
    const auto find = [this](auto*& control, const char* name) {
        control = FormControl<std::remove_reference_t<decltype(*control)>>(*this, name);
    };
    find(ListView1, "ListView1");
    find(TreeView1, "TreeView1");
    find(Panel1, "Panel1");
    find(Label1, "Label1");
    find(Edit1, "Edit1");
    find(B_SETFOLDER, "B_SETFOLDER");
    find(B_READ, "B_READ");
    find(GroupBox1, "GroupBox1");
    find(RadioGroup1, "RadioGroup1");
    find(RB_NewWin, "RB_NewWin");
    find(RB_ExistWin, "RB_ExistWin");
    find(B_TO, "B_TO");
    find(B_CC, "B_CC");
    find(B_BCC, "B_BCC");
    find(GroupBox2, "GroupBox2");
    find(Label3, "Label3");
    find(Edit2, "Edit2");
    find(B_QUOTE, "B_QUOTE");
    find(B_QUIT, "B_QUIT");
    find(Label2, "Label2");
    find(ver_label, "ver_label");
    find(Label4, "Label4");
    find(PopupMenu1, "PopupMenu1");
    find(Property1, "Property1");

    const std::vector<std::string>& columns = Form.Design().Control("ListView1").Columns;
    for (size_t column = 0; column < columns.size(); ++column) {
        listModel_->SetColumnCaption(static_cast<int>(column), FromCp932(columns[column]));
    }
    ListView1->setModel(listModel_);
    TreeView1->setModel(treeModel_);
    // A long path shows from its start, as a read-only box does elsewhere.
    connect(Edit1, &QLineEdit::textChanged, Edit1,
            [this] { Guarded([this] { Edit1->setCursorPosition(0); }); });

    FitLabel(Label2, ver_label->x());
    // Fonts other than the designed one can run wider than a control.
    for (QWidget* control : std::initializer_list<QWidget*>{
             B_SETFOLDER, B_READ, GroupBox1, RadioGroup1, RB_NewWin, RB_ExistWin, B_TO, B_CC, B_BCC,
             GroupBox2, B_QUOTE, B_QUIT}) {
        FitText(control);
    }
    FitText(Label1, Edit1->x() - Label1->x() - 2);
    Label1->adjustSize();
    FitText(Label3, Edit2->x() - GroupBox2->x() - Label3->x() - 4);
    Label3->adjustSize();
    Label4->setMouseTracking(true);
    Label4->installEventFilter(this);
}

void TForm1Window::ConnectHandlers() {
    auto on = [this](auto* sender, auto signal, void (TForm1::*handler)()) {
        connect(sender, signal, this,
                [this, handler] { Guarded([this, handler] { (Form.*handler)(); }); });
    };
    on(B_READ, &QPushButton::clicked, &TForm1::B_READClick);
    on(B_SETFOLDER, &QPushButton::clicked, &TForm1::B_SETFOLDERClick);
    on(B_QUIT, &QPushButton::clicked, &TForm1::B_QUITClick);
    on(B_TO, &QPushButton::clicked, &TForm1::B_TOClick);
    on(B_CC, &QPushButton::clicked, &TForm1::B_CCClick);
    on(B_BCC, &QPushButton::clicked, &TForm1::B_BCCClick);
    on(B_QUOTE, &QPushButton::clicked, &TForm1::B_QUOTEClick);
    on(Property1, &QAction::triggered, &TForm1::Property1Click);
    on(ListView1, &TListView::DoubleClicked, &TForm1::ListView1DblClick);
    on(TreeView1->selectionModel(), &QItemSelectionModel::selectionChanged,
       &TForm1::TreeView1Change);
    connect(ListView1, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        Guarded([&] { PopupMenu1->popup(ListView1->viewport()->mapToGlobal(pos)); });
    });
}

// ---- Window edges (outer bounds)

int TForm1Window::Left() const {
    return frameGeometry().x();
}
int TForm1Window::Top() const {
    return frameGeometry().y();
}
// Not frameGeometry().width(): near the ends of the int range the rectangle's
// far edge has wrapped round and its width no longer fits in an int.
int TForm1Window::Width() const {
    return frameSize().width();
}
int TForm1Window::Height() const {
    return frameSize().height();
}

void TForm1Window::SetLeft(int left) {
    move(left, Top());
}
void TForm1Window::SetTop(int top) {
    move(Left(), top);
}
void TForm1Window::SetWidth(int width) {
    resize(width - (Width() - this->width()), height());
}
void TForm1Window::SetHeight(int height) {
    resize(width(), height - (Height() - this->height()));
}

namespace {

TBounds ToBounds(const QRect& r) {
    return {r.x(), r.y(), r.width(), r.height()};
}

}  // namespace

std::vector<TBounds> TForm1Window::Screens() const {
    std::vector<TBounds> screens;
    const QScreen* primary = QGuiApplication::primaryScreen();
    if (primary) {
        screens.push_back(ToBounds(primary->geometry()));
    }
    for (const QScreen* screen : QGuiApplication::screens()) {
        if (screen != primary) {
            screens.push_back(ToBounds(screen->geometry()));
        }
    }
    return screens;
}

TBounds TForm1Window::PrimaryWorkArea() const {
    const QScreen* primary = QGuiApplication::primaryScreen();
    return primary ? ToBounds(primary->availableGeometry()) : TBounds{};
}

void TForm1Window::Close() {
    close();
}

// A window manager adds its frame only once the window is shown; from then on
// the outer bounds, not the client area, keep the sizes the window was given.
void TForm1Window::AdoptFrame() {
    if (frameAdopted_ || !isVisible() || isMaximized() || isFullScreen()) {
        return;
    }
    const QSize extra = frameSize() - size();
    if (extra.width() <= 0 && extra.height() <= 0) {
        return;
    }
    frameAdopted_ = true;
    setMinimumSize(std::max(0, Form.Design().MinWidth - extra.width()),
                   std::max(0, Form.Design().MinHeight - extra.height()));
    resize(size() - extra);
}

// ---- Controls

QWidget* TForm1Window::Control(TLayoutControl control) const {
    switch (control) {
        case TLayoutControl::TreeView1:
            return TreeView1;
        case TLayoutControl::ListView1:
            return ListView1;
        case TLayoutControl::Panel1:
            break;
    }
    return Panel1;
}

QLineEdit* TForm1Window::Edit(TEditBox box) const {
    return box == TEditBox::Edit1 ? Edit1 : Edit2;
}

QRadioButton* TForm1Window::Radio(TRadioButton button) const {
    return button == TRadioButton::RB_NewWin ? RB_NewWin : RB_ExistWin;
}

QLabel* TForm1Window::Label(TLabelControl label) const {
    return label == TLabelControl::ver_label ? ver_label : Label4;
}

TBounds TForm1Window::Bounds(TLayoutControl control) const {
    return ToBounds(Control(control)->geometry());
}

void TForm1Window::SetBounds(TLayoutControl control, const TBounds& b) {
    Control(control)->setGeometry(b.Left, b.Top, b.Width, b.Height);
}

void TForm1Window::SetCaption(const std::string& text) {
    setWindowTitle(FromCp932(text));
}

void TForm1Window::TreeClear() {
    treeModel_->Clear();
}

int TForm1Window::TreeAddNode(int parent, const std::string& text, int image, int selectedImage) {
    return treeModel_->AddNode(parent, text, image, selectedImage);
}

void TForm1Window::TreeBeginUpdate() {
    treeModel_->BeginBuild();
}

void TForm1Window::TreeEndUpdate() {
    treeModel_->EndBuild();
}

void TForm1Window::TreeExpandAll() {
    TreeView1->expandAll();
}

int TForm1Window::TreeNodeCount() const {
    return static_cast<int>(treeModel_->Nodes().size());
}

std::string TForm1Window::TreeNodeText(int node) const {
    return treeModel_->Nodes().at(static_cast<size_t>(node)).Name;
}

int TForm1Window::TreeSelected() const {
    const QModelIndexList selected = TreeView1->selectionModel()->selectedIndexes();
    return selected.isEmpty() ? -1 : TTreeModel::NodeOf(selected.first());
}

void TForm1Window::TreeSelect(int node) {
    const QModelIndex index = treeModel_->IndexOf(node);
    TreeView1->setCurrentIndex(index);
    TreeView1->scrollTo(index);
}

void TForm1Window::ListClear() {
    listModel_->Clear();
}

void TForm1Window::ListAddItems(std::vector<TListItem> items) {
    std::vector<TListModel::TRow> rows;
    rows.reserve(items.size());
    for (TListItem& item : items) {
        rows.push_back({std::move(item.Caption), std::move(item.Second), item.Image});
    }
    listModel_->AppendRows(std::move(rows));
}

std::vector<std::string> TForm1Window::ListSelectedCaptions() const {
    QModelIndexList rows = ListView1->selectionModel()->selectedRows(0);
    std::sort(rows.begin(), rows.end(),
              [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    std::vector<std::string> captions;
    captions.reserve(static_cast<size_t>(rows.size()));
    for (const QModelIndex& index : rows) {
        captions.push_back(listModel_->Rows()[static_cast<size_t>(index.row())].Caption);
    }
    return captions;
}

void TForm1Window::ListSetColumnCaption(int column, const std::string& text) {
    listModel_->SetColumnCaption(column, FromCp932(text));
}

std::string TForm1Window::EditText(TEditBox box) const {
    return ToCp932(Edit(box)->text());
}

void TForm1Window::SetEditText(TEditBox box, const std::string& text) {
    Edit(box)->setText(FromCp932(text));
}

std::string TForm1Window::QuoteMark() const {
    return Edit2->text().toStdString();
}

bool TForm1Window::RadioChecked(TRadioButton button) const {
    return Radio(button)->isChecked();
}

void TForm1Window::CheckRadio(TRadioButton button) {
    Radio(button)->setChecked(true);
}

void TForm1Window::SetRadioEnabled(TRadioButton button, bool enabled, const std::string& hint) {
    Radio(button)->setEnabled(enabled);
    Radio(button)->setToolTip(FromCp932(hint));
}

void TForm1Window::SetLabelCaption(TLabelControl label, const std::string& text) {
    QLabel* l = Label(label);
    l->setText(FromCp932(text));
    l->adjustSize();
    if (label == TLabelControl::ver_label) {
        FitLabel(l, Label4->x());
    }
}

void TForm1Window::SetLabelColor(TLabelControl label, TSystemColor color) {
    SetLabelBackground(Label(label),
                       color == TSystemColor::InfoBk ? QPalette::ToolTipBase : QPalette::Window);
}

std::string TForm1Window::ReadClipboardText() {
    return ::ReadClipboardText();
}

void TForm1Window::WriteClipboardText(const std::string& text) {
    ::WriteClipboardText(text);
}

void TForm1Window::OpenLink(const std::string& url) {
    OpenUrlOnDesktop(url);
}

std::filesystem::path TForm1Window::ExecutablePath() const {
    return QtPath(QCoreApplication::applicationFilePath());
}

std::filesystem::path TForm1Window::UserConfigDir() const {
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return dir.isEmpty() ? std::filesystem::path() : QtPath(dir);
}

// ---- Events

void TForm1Window::closeEvent(QCloseEvent* event) {
    // During a hand-off the window closes when it ends.
    bool close = true;
    Guarded([&] { close = Form.CloseQuery(); });
    if (!close) {
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
    emit Closed();
}

void TForm1Window::SetBusyCursor(bool busy) {
    // The arrow with the busy sign: the window can still be used.
    if (busy) {
        setCursor(Qt::BusyCursor);
    } else {
        unsetCursor();
    }
}

void TForm1Window::SetButtonEnabled(TCommandButton button, bool enabled) {
    QPushButton* const buttons[] = {B_TO, B_CC, B_BCC, B_READ, B_QUIT};
    buttons[static_cast<int>(button)]->setEnabled(enabled);
}

void TForm1Window::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Guarded([this] {
        AdoptFrame();
        Form.resizeWindow();  // FormCanResize: never refuses
    });
}

void TForm1Window::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    Guarded([this] { AdoptFrame(); });
}

void TForm1Window::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    Guarded([this] { AdoptFrame(); });
}

void TForm1Window::mouseMoveEvent(QMouseEvent* event) {
    QWidget::mouseMoveEvent(event);
    // Only the window's own background, not moves handed up by a control.
    if (childAt(event->position().toPoint()) == nullptr) {
        Guarded([this] { Form.FormMouseMove(); });
    }
}

bool TForm1Window::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Label4) {
        if (event->type() == QEvent::MouseMove) {
            Guarded([this] { Form.Label4MouseMove(); });
        } else if (event->type() == QEvent::MouseButtonRelease) {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() == Qt::LeftButton &&
                Label4->rect().contains(mouse->position().toPoint())) {
                Guarded([this] { Form.Label4Click(); });
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}
