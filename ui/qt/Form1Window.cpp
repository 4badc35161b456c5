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

#include "mailclient/DesktopMailClient.h"
#include "ui/ErrorReport.h"
#include "ui/qt/ClipboardText.h"
#include "ui/qt/TreeLineStyle.h"
#include "ui/qt/UiText.h"

namespace {

constexpr int kPanelHeight = 185;

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, int left, int top) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->move(left, top);
    label->adjustSize();
    return label;
}

template <class W>
W* Place(W* widget, const char* name, int left, int top, int width, int height) {
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(left, top, width, height);
    return widget;
}

// A label that would run into the next one on its line (fonts differ in
// width) is drawn a little tighter instead, keeping a small gap.
void FitLabel(QLabel* label, int nextLeft) {
    constexpr int kGap = 4;
    const int excess = label->x() + label->sizeHint().width() - (nextLeft - kGap);
    const auto count = label->text().size();
    if (excess <= 0 || count == 0)
        return;
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

// ---- TListView

TListView::TListView(QWidget* parent) : QTreeView(parent) {
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSortingEnabled(false);
    setAllColumnsShowFocus(true);
    setIconSize(QSize(16, 16));
    header()->setStretchLastSection(false);
    header()->setSectionsMovable(false);
}

void TListView::resizeEvent(QResizeEvent* event) {
    QTreeView::resizeEvent(event);
    const int width = viewport()->width();
    header()->resizeSection(0, (width + 1) / 2);
    header()->resizeSection(1, width / 2);
}

void TListView::mouseDoubleClickEvent(QMouseEvent* event) {
    QTreeView::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton)
        emit DoubleClicked();
}

// ---- TForm1Window

TForm1Window::TForm1Window(QWidget* parent) : QWidget(parent), Form(*this), folderChooser_(this) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("アドレス帳"));
    setFont(JapaneseUiFont());
    setMouseTracking(true);

    ImageList1 = new TImageList(this);
    ImageList1->setObjectName(QStringLiteral("ImageList1"));
    listModel_ = new TListModel(*ImageList1, this);
    treeModel_ = new TTreeModel(*ImageList1, this);

    CreateControls();
    Form3 = new TQtProgressWindow(this, [this] { Form.ProgressCancelClick(); });
    ConnectHandlers();
    SetTabOrder();
    Form.SetMailClient(std::make_unique<TDesktopMailClient>(OpenUrlOnDesktop));

    setMinimumSize(kMinWidth, kMinHeight);
    move(552, 7);
    resize(458, 447);

    Guarded([this] { Form.FormCreate(); });
}

TForm1Window::~TForm1Window() {
    Guarded([this] { Form.FormDestroy(); });
}

void TForm1Window::CreateControls() {
    ListView1 = Place(new TListView(this), "ListView1", 241, 10, 203, 201);
    ListView1->setModel(listModel_);
    ListView1->setContextMenuPolicy(Qt::CustomContextMenu);

    TreeView1 = Place(new QTreeView(this), "TreeView1", 10, 10, 220, 201);
    TreeView1->setModel(treeModel_);
    TreeView1->setHeaderHidden(true);
    TreeView1->setRootIsDecorated(true);
    TreeView1->setIndentation(19);
    TreeView1->setUniformRowHeights(true);
    TreeView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TreeView1->setSelectionMode(QAbstractItemView::SingleSelection);
    TreeView1->setIconSize(QSize(16, 16));
    auto* lines = new TTreeLineStyle;
    lines->setParent(TreeView1);
    TreeView1->setStyle(lines);

    Panel1 = Place(new QWidget(this), "Panel1", 8, 224, 435, kPanelHeight);

    Label1 = MakeLabel(Panel1, "Label1", QStringLiteral("メールフォルダ"), 10, 16);
    Edit1 = Place(new QLineEdit(QStringLiteral("設定されていません"), Panel1), "Edit1", 89, 11, 145,
                  20);
    Edit1->setReadOnly(true);
    // A long path shows from its start, as a read-only box does elsewhere.
    connect(Edit1, &QLineEdit::textChanged, Edit1,
            [this] { Guarded([this] { Edit1->setCursorPosition(0); }); });
    Edit1->setToolTip(QStringLiteral("Winbiff V2のメールフォルダを設定します"));
    {
        QPalette palette = Edit1->palette();
        palette.setColor(QPalette::Base, MenuColor());
        Edit1->setPalette(palette);
    }
    B_SETFOLDER =
        Place(new QPushButton(QStringLiteral("参照..."), Panel1), "B_SETFOLDER", 240, 9, 75, 25);
    B_READ = Place(new QPushButton(QStringLiteral("アドレス帳読み込み"), Panel1), "B_READ", 322, 9,
                   108, 25);

    GroupBox1 = Place(new QGroupBox(QStringLiteral("メールアドレスの挿入"), Panel1), "GroupBox1", 1,
                      45, 290, 95);
    RadioGroup1 = Place(new QGroupBox(QStringLiteral("どのウインドウ？"), GroupBox1), "RadioGroup1",
                        9, 23, 162, 58);
    RB_NewWin = Place(new QRadioButton(QStringLiteral("新規メールウインドウへ"), GroupBox1),
                      "RB_NewWin", 14, 39, 141, 17);
    RB_ExistWin = Place(new QRadioButton(QStringLiteral("既存のメールウインドウへ"), GroupBox1),
                        "RB_ExistWin", 14, 57, 152, 17);
    B_TO = Place(new QPushButton(QStringLiteral("「宛先」へ"), GroupBox1), "B_TO", 180, 10, 95, 24);
    B_CC = Place(new QPushButton(QStringLiteral("「CC」へ"), GroupBox1), "B_CC", 180, 38, 95, 24);
    B_BCC =
        Place(new QPushButton(QStringLiteral("「BCC」へ"), GroupBox1), "B_BCC", 180, 66, 95, 24);

    const QString quoteHint =
        QStringLiteral("クリップボードにコピー済みのテキストを引用マーク付きのものと置き換えます");
    GroupBox2 = Place(new QGroupBox(QStringLiteral("引用付き貼付サポート"), Panel1), "GroupBox2",
                      294, 45, 140, 80);
    GroupBox2->setToolTip(quoteHint);
    Label3 = MakeLabel(GroupBox2, "Label3", QStringLiteral("引用マーク"), 17, 23);
    // Edit2 and B_QUOTE belong to the panel and are drawn over the group box's frame.
    Edit2 = Place(new QLineEdit(QStringLiteral("> "), Panel1), "Edit2", 386, 64, 36, 20);
    B_QUOTE = Place(new QPushButton(QStringLiteral("引用マークを付加"), Panel1), "B_QUOTE", 307, 88,
                    117, 27);
    B_QUOTE->setToolTip(quoteHint);

    B_QUIT = Place(new QPushButton(QStringLiteral("閉じる"), Panel1), "B_QUIT", 360, 133, 75, 25);

    Label2 = MakeLabel(Panel1, "Label2",
                       QStringLiteral("Winbiff V2アドレス帳→Outlookメールウインドウ"), 40, 168);
    ver_label = MakeLabel(Panel1, "ver_label", QStringLiteral("ver. xxx by"), 285, 168);
    FitLabel(Label2, ver_label->x());
    // Fonts other than the designed one can run wider than a control.
    for (QWidget* control : std::initializer_list<QWidget*>{
             B_SETFOLDER, B_READ, GroupBox1, RadioGroup1, RB_NewWin, RB_ExistWin, B_TO, B_CC, B_BCC,
             GroupBox2, B_QUOTE, B_QUIT})
        FitText(control);
    FitText(Label1, Edit1->x() - Label1->x() - 2);
    Label1->adjustSize();
    FitText(Label3, Edit2->x() - GroupBox2->x() - Label3->x() - 4);
    Label3->adjustSize();
    Label4 = MakeLabel(Panel1, "Label4", QStringLiteral("quorvantel"), 350, 168);
    {
        QFont font = Label4->font();
        font.setUnderline(true);
        Label4->setFont(font);
        QPalette palette = Label4->palette();
        palette.setColor(QPalette::WindowText, Qt::blue);
        Label4->setPalette(palette);
        Label4->adjustSize();
    }
    Label4->setAutoFillBackground(true);
    SetLabelBackground(Label4, QPalette::Window);
    Label4->setCursor(Qt::PointingHandCursor);
    Label4->setToolTip(QStringLiteral("このプログラムの作者にメールを送る"));
    Label4->setMouseTracking(true);
    Label4->installEventFilter(this);

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    Property1 = new QAction(QStringLiteral("プロパティ"), this);
    Property1->setObjectName(QStringLiteral("Property1"));
    Property1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    Property1->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    Property1->setShortcutVisibleInContextMenu(true);
    PopupMenu1->addAction(Property1);
    ListView1->addAction(Property1);
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

void TForm1Window::SetTabOrder() {
    // Window: ListView1, TreeView1, Panel1. Panel1: B_QUIT, GroupBox1, GroupBox2, Edit2,
    // B_QUOTE, Edit1, B_SETFOLDER, B_READ. GroupBox1: B_TO, RB_NewWin, RB_ExistWin, B_CC, B_BCC.
    const QWidget* chain[] = {ListView1, TreeView1, B_QUIT,  B_TO,  RB_NewWin,   RB_ExistWin, B_CC,
                              B_BCC,     Edit2,     B_QUOTE, Edit1, B_SETFOLDER, B_READ};
    for (size_t i = 0; i + 1 < std::size(chain); ++i) {
        QWidget::setTabOrder(const_cast<QWidget*>(chain[i]), const_cast<QWidget*>(chain[i + 1]));
    }
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
    if (primary)
        screens.push_back(ToBounds(primary->geometry()));
    for (const QScreen* screen : QGuiApplication::screens()) {
        if (screen != primary)
            screens.push_back(ToBounds(screen->geometry()));
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
    if (frameAdopted_ || !isVisible() || isMaximized() || isFullScreen())
        return;
    const QSize extra = frameSize() - size();
    if (extra.width() <= 0 && extra.height() <= 0)
        return;
    frameAdopted_ = true;
    setMinimumSize(std::max(0, kMinWidth - extra.width()),
                   std::max(0, kMinHeight - extra.height()));
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
    for (TListItem& item : items)
        rows.push_back({std::move(item.Caption), std::move(item.Second), item.Image});
    listModel_->AppendRows(std::move(rows));
}

std::vector<std::string> TForm1Window::ListSelectedCaptions() const {
    QModelIndexList rows = ListView1->selectionModel()->selectedRows(0);
    std::sort(rows.begin(), rows.end(),
              [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    std::vector<std::string> captions;
    captions.reserve(static_cast<size_t>(rows.size()));
    for (const QModelIndex& index : rows)
        captions.push_back(listModel_->Rows()[static_cast<size_t>(index.row())].Caption);
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
    if (label == TLabelControl::ver_label)
        FitLabel(l, Label4->x());
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
    if (childAt(event->position().toPoint()) == nullptr)
        Guarded([this] { Form.FormMouseMove(); });
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
