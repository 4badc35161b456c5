#include "Unit1.h"

#include <QAction>
#include <QDesktopServices>
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
#include <QUrl>
#include <algorithm>

#include "DirDialog.h"
#include "Encoding.h"
#include "ErrorReport.h"
#include "GroupTree.h"
#include "PlatformMailClient.h"
#include "Prefs.h"
#include "Unit2.h"
#include "UiText.h"
#include "Utils.h"

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

// ---- TForm1

TForm1::TForm1(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("アドレス帳"));
    setFont(JapaneseUiFont());
    setMouseTracking(true);

    ImageList1 = new TImageList(this);
    ImageList1->setObjectName(QStringLiteral("ImageList1"));
    listModel_ = new TListModel(*ImageList1, this);
    treeModel_ = new TTreeModel(*ImageList1, this);

    CreateControls();
    ConnectHandlers();
    SetTabOrder();
    SetMailClient(CreatePlatformMailClient());

    setMinimumSize(455, 320);
    move(552, 7);
    resize(458, 447);

    Guarded([this] { FormCreate(); });
}

TForm1::~TForm1() {
    Guarded([this] { FormDestroy(); });
}

void TForm1::CreateControls() {
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
        palette.setColor(QPalette::Base, palette.color(QPalette::Window));
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

void TForm1::ConnectHandlers() {
    auto on = [this](auto* sender, auto signal, void (TForm1::*handler)()) {
        connect(sender, signal, this,
                [this, handler] { Guarded([this, handler] { (this->*handler)(); }); });
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

void TForm1::SetTabOrder() {
    // Window: ListView1, TreeView1, Panel1. Panel1: B_QUIT, GroupBox1, GroupBox2, Edit2,
    // B_QUOTE, Edit1, B_SETFOLDER, B_READ. GroupBox1: B_TO, RB_NewWin, RB_ExistWin, B_CC, B_BCC.
    const QWidget* chain[] = {ListView1, TreeView1, B_QUIT,  B_TO,  RB_NewWin,   RB_ExistWin, B_CC,
                              B_BCC,     Edit2,     B_QUOTE, Edit1, B_SETFOLDER, B_READ};
    for (size_t i = 0; i + 1 < std::size(chain); ++i) {
        QWidget::setTabOrder(const_cast<QWidget*>(chain[i]), const_cast<QWidget*>(chain[i + 1]));
    }
}

QString TForm1::MailLink() {
    return QStringLiteral("mailto:quorvantel@example.jp");
}

std::vector<std::string> TForm1::SelectedCaptions() const {
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

// ---- Window edges (outer bounds)

int TForm1::Left() const {
    return frameGeometry().x();
}
int TForm1::Top() const {
    return frameGeometry().y();
}
// Not frameGeometry().width(): near the ends of the int range the rectangle's
// far edge has wrapped round and its width no longer fits in an int.
int TForm1::Width() const {
    return frameSize().width();
}
int TForm1::Height() const {
    return frameSize().height();
}

void TForm1::SetLeft(int left) {
    move(left, Top());
}
void TForm1::SetTop(int top) {
    move(Left(), top);
}
void TForm1::SetWidth(int width) {
    resize(width - (Width() - this->width()), height());
}
void TForm1::SetHeight(int height) {
    resize(width(), height - (Height() - this->height()));
}

// A window manager adds its frame only once the window is shown; from then on
// the outer bounds, not the client area, keep the sizes the window was given.
void TForm1::AdoptFrame() {
    if (frameAdopted_ || !isVisible() || isMaximized() || isFullScreen())
        return;
    const QSize extra = frameSize() - size();
    if (extra.width() <= 0 && extra.height() <= 0)
        return;
    frameAdopted_ = true;
    setMinimumSize(std::max(0, 455 - extra.width()), std::max(0, 320 - extra.height()));
    resize(size() - extra);
}

void TForm1::MoveOntoScreen() {
    // In 64 bits: a file may put the window near the ends of the int range,
    // where the frame rectangle's far edge has wrapped round.
    const qint64 left = Left(), top = Top();
    const int width = Width(), height = Height();
    const auto overlaps = [&](const QRect& screen) {
        return left < qint64{screen.x()} + screen.width() && left + width > screen.x() &&
               top < qint64{screen.y()} + screen.height() && top + height > screen.y();
    };
    const QList<QScreen*> screens = QGuiApplication::screens();
    for (const QScreen* screen : screens) {
        if (overlaps(screen->geometry()))
            return;
    }
    const QScreen* primary = QGuiApplication::primaryScreen();
    if (primary == nullptr)
        return;
    const QRect area = primary->availableGeometry();
    move(std::clamp(Left(), area.left(), std::max(area.left(), area.right() + 1 - width)),
         std::clamp(Top(), area.top(), std::max(area.top(), area.bottom() + 1 - height)));
}

// ---- Events

void TForm1::closeEvent(QCloseEvent* event) {
    QWidget::closeEvent(event);
    emit Closed();
}

void TForm1::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Guarded([this] {
        AdoptFrame();
        resizeWindow();  // FormCanResize: never refuses
    });
}

void TForm1::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    Guarded([this] { AdoptFrame(); });
}

void TForm1::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    Guarded([this] { AdoptFrame(); });
}

void TForm1::mouseMoveEvent(QMouseEvent* event) {
    QWidget::mouseMoveEvent(event);
    // Only the window's own background, not moves handed up by a control.
    if (childAt(event->position().toPoint()) == nullptr)
        Guarded([this] { FormMouseMove(); });
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Label4) {
        if (event->type() == QEvent::MouseMove) {
            Guarded([this] { Label4MouseMove(); });
        } else if (event->type() == QEvent::MouseButtonRelease) {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() == Qt::LeftButton &&
                Label4->rect().contains(mouse->position().toPoint())) {
                Guarded([this] { Label4Click(); });
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

// ---- Handlers

void TForm1::FormCreate() {
    resizeWindow();
    ReadPrefs();
    B_READClick();
    RB_NewWin->setChecked(true);
    ver_label->setText(QString::fromUtf8(kVersionText) + QStringLiteral(" by"));
    ver_label->adjustSize();
    FitLabel(ver_label, Label4->x());
    setWindowTitle(QStringLiteral("アドレス帳  ") + QString::fromUtf8(kVersionText));
}

void TForm1::FormDestroy() {
    SavePrefs();
}

void TForm1::resizeWindow() {
    const int w = (width() - 30) / 2;
    const int h = height() - 30 - Panel1->height();
    TreeView1->resize(w, h);
    ListView1->setGeometry(w + 20, TreeView1->y(), w, h);
    Panel1->move(Panel1->x(), h + 20);
}

void TForm1::B_READClick() {
    treeModel_->Clear();
    listModel_->Clear();

    std::optional<std::string> cut;
    const std::string folder = ToCp932(Edit1->text());
    if (DirectoryExists(Cp932ToPath(folder))) {
        book_ = std::make_unique<TAddressBook>();
        book_->SetFolder(folder);
        book_->Load();

        struct BuildScope {
            TTreeModel* model;
            ~BuildScope() { model->EndBuild(); }
        };
        // Groups listed in many groups can need millions of nodes: the tree
        // stops at a bound and says so once it is shown.
        TGroupTreeBuilder tree(*book_, kMaxTreeNodes);
        treeModel_->BeginBuild();
        {
            BuildScope scope{treeModel_};
            const int root = tree.AddRoot();
            treeModel_->AddNode(-1, "\\", 2, 2);
            for (const std::string& name : book_->GroupMembers("\\")) {
                AddToTreeView(tree, name, root);
                if (tree.Truncated())
                    break;
            }
        }
        if (tree.Truncated())
            cut = TreeTruncatedMessage(tree.Nodes().size());
    }
    TreeView1->expandAll();
    if (cut)
        ReportError(*cut);
}

void TForm1::AddToTreeView(TGroupTreeBuilder& tree, const std::string& name, int parentNode) {
    // The model's nodes are the builder's, one for one and in the same order.
    const size_t first = tree.Nodes().size();
    tree.Add(name, parentNode);
    const auto& nodes = tree.Nodes();
    for (size_t i = first; i < nodes.size(); ++i)
        treeModel_->AddNode(nodes[i].Parent, nodes[i].Name, 0, 3);
}

void TForm1::TreeView1Change() {
    listModel_->Clear();
    const QModelIndexList selected = TreeView1->selectionModel()->selectedIndexes();
    if (selected.isEmpty() || !book_)
        return;
    const int node = TTreeModel::NodeOf(selected.first());
    const std::string& name = treeModel_->Nodes()[static_cast<size_t>(node)].Name;

    const TNameList& members = book_->GroupMembers(name);
    std::vector<TListModel::TRow> rows;
    rows.reserve(members.size());
    for (const std::string& member : members) {
        TListModel::TRow row;
        row.Caption = member;
        if (book_->IsGroup(member)) {
            row.Image = 0;
        } else {
            row.Image = 1;
            if (Prefs.List2ndItem == "ADDRESS") {
                row.Second = book_->CardAddress(member);
            } else if (Prefs.List2ndItem == "MEMO") {
                row.Second = book_->CardMemo(member);
            }
        }
        rows.push_back(std::move(row));
    }
    listModel_->SetRows(std::move(rows));
}

void TForm1::ListView1DblClick() {
    const std::vector<std::string> captions = SelectedCaptions();
    if (captions.empty() || !book_ || !book_->IsGroup(captions.front()))
        return;
    const auto& nodes = treeModel_->Nodes();
    for (size_t i = 0; i < nodes.size(); ++i) {
        if (nodes[i].Name == captions.front()) {
            const QModelIndex index = treeModel_->IndexOf(static_cast<int>(i));
            TreeView1->setCurrentIndex(index);
            TreeView1->scrollTo(index);
            return;
        }
    }
}

void TForm1::Property1Click() {
    const std::vector<std::string> captions = SelectedCaptions();
    if (captions.empty())
        return;
    PropertyCard = book_ ? book_->CardRecord(captions.front()) : TCard{};
    if (Form2)
        Form2->ShowProperties();
}

void TForm1::B_SETFOLDERClick() {
    TDirDialog dialog(this);
    if (dialog.Choose())
        Edit1->setText(dialog.Directory());
}

void TForm1::B_QUITClick() {
    SavePrefs();
    close();
}

void TForm1::FormMouseMove() {
    SetLabelBackground(Label4, QPalette::Window);
}

void TForm1::Label4MouseMove() {
    SetLabelBackground(Label4, QPalette::ToolTipBase);
}

void TForm1::Label4Click() {
    QDesktopServices::openUrl(QUrl(MailLink()));
}
