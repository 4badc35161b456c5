// The main window's Qt face: controls at their design bounds with their
// texts, tab order, images and font; events reaching their handlers; the
// frame, the minimum size and the screens of a real window.
#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QFontDatabase>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <memory>

#include "core/Encoding.h"
#include "mailclient/DesktopMailClient.h"
#include "tests/support/QtDialogs.h"
#include "tests/support/QtForm.h"
#include "tests/support/QtWindow.h"
#include "tests/support/TestFiles.h"
#include "ui/ErrorReport.h"
#include "ui/qt/Form1Window.h"
#include "ui/qt/Form2Window.h"
#include "ui/qt/UiText.h"

namespace {

namespace fs = std::filesystem;

QString Q(const char* utf8) {
    return QString::fromUtf8(utf8);
}

const fs::path kSample = fs::path(QUORVANTEL_EXAMPLES_DIR) / "mailbox";

class Form1WindowTest : public ::testing::Test {
  protected:
    void TearDown() override { form_.reset(); }
    TForm1Window& Start() {
        form_ = std::make_unique<TForm1Window>();
        return *form_;
    }
    TForm1Window& StartShown() {
        TForm1Window& form = Start();
        form.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&form));
        return form;
    }
    TForm1Window& StartOnSample() {
        WriteAll(ini_, "MailFolder: " + PathToCp932(kSample) + "\r\n");
        return StartShown();
    }
    QModelIndex Node(const char* utf8) {
        const auto& nodes = form_->TreeModel()->Nodes();
        for (size_t i = 0; i < nodes.size(); ++i) {
            if (nodes[i].Name == Utf8ToCp932(utf8)) {
                return form_->TreeModel()->IndexOf(static_cast<int>(i));
            }
        }
        return {};
    }
    void SelectRows(std::initializer_list<int> rows) {
        auto* selection = form_->ListView1->selectionModel();
        selection->clearSelection();
        for (int r : rows) {
            selection->select(form_->ListView1->model()->index(r, 0),
                              QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
    }

    TQtWindowScope scope_;
    const fs::path ini_ = scope_.Ini();
    QStringList& reports_ = scope_.Reports;
    std::unique_ptr<TForm1Window> form_;
};

// The face draws every control of the description at its bounds, with its
// text, font, colour and hint, and Tab follows the description's chain.
TEST_F(Form1WindowTest, FaceDrawsTheFormAsDescribed) {
    TForm1Window& form = Start();
    const TFormDescription& design = Form1Description();
    ExpectDrawnAsDescribed(form, design);
    EXPECT_EQ(form.minimumSize(), QSize(design.MinWidth, design.MinHeight));
    EXPECT_EQ(form.size(), QSize(design.Bounds.Width, design.Bounds.Height));
    EXPECT_EQ(form.ListModel()->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(),
              FromCp932(design.Control("ListView1").Columns[0]));
    EXPECT_EQ(form.ListView1->iconSize(), QSize(16, 16));
    EXPECT_EQ(form.TreeView1->indentation(), design.Control("TreeView1").Indent);
    EXPECT_EQ(form.Property1->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_P));
    EXPECT_TRUE(form.ListView1->actions().contains(form.Property1));
    EXPECT_TRUE(form.PopupMenu1->actions().contains(form.Property1));
    EXPECT_EQ(form.ListView1->selectionMode(), QAbstractItemView::ExtendedSelection);
    EXPECT_EQ(form.Label4->cursor().shape(), Qt::PointingHandCursor);
    // The folder box on the menu colour, not the button face.
    EXPECT_EQ(form.Edit1->palette().color(QPalette::Base), MenuColor());
    EXPECT_NE(MenuColor(), form.palette().color(QPalette::Button));

    // The layout has run for the client area the window was made with.
    EXPECT_EQ(form.TreeView1->geometry(), QRect(10, 10, 214, 232));
    EXPECT_EQ(form.ListView1->geometry(), QRect(234, 10, 214, 232));
    EXPECT_EQ(form.Panel1->geometry(), QRect(8, 252, 435, 185));

    // Labels on the bottom line must not run into each other.
    EXPECT_LE(form.Label2->geometry().right(), form.ver_label->x());
    EXPECT_LE(form.ver_label->geometry().right(), form.Label4->x());
    EXPECT_LE(form.Label4->geometry().right(), form.Panel1->width());
}

TEST_F(Form1WindowTest, ImagesAndFont) {
    TForm1Window& form = Start();
    for (int i = 0; i < TImageList::kCount; ++i) {
        const QImage image = form.ImageList1->Icon(i).pixmap(16, 16).toImage();
        EXPECT_EQ(image.size(), QSize(16, 16)) << i;
        EXPECT_TRUE(image.hasAlphaChannel()) << i;
        EXPECT_EQ(qAlpha(image.pixel(15, 0)), 0) << i;  // the corner shows through
    }
    const QIcon& group = form.ImageList1->Icon(0, 3);
    EXPECT_EQ(group.pixmap(16, 16, QIcon::Normal).toImage(),
              form.ImageList1->Icon(0).pixmap(16, 16).toImage());
    EXPECT_EQ(group.pixmap(16, 16, QIcon::Selected).toImage(),
              form.ImageList1->Icon(3).pixmap(16, 16).toImage());

    EXPECT_EQ(form.font().pixelSize(), 12);
    EXPECT_EQ(form.Edit1->font().pixelSize(), 12);
    const QStringList japanese = {Q("ＭＳ Ｐゴシック"), Q("IPAPGothic"), Q("Noto Sans CJK JP")};
    if (QFontDatabase::families().contains(Q("IPAPGothic"))) {
        EXPECT_TRUE(japanese.contains(form.font().family())) << form.font().family().toStdString();
    }
}

TEST_F(Form1WindowTest, ModelsShowTheSampleFolder) {
    TForm1Window& form = StartOnSample();
    QAbstractItemModelTester treeTester(form.TreeModel(),
                                        QAbstractItemModelTester::FailureReportingMode::Fatal);
    QAbstractItemModelTester listTester(form.ListModel(),
                                        QAbstractItemModelTester::FailureReportingMode::Fatal);
    // The tree: images, every node expanded, no selection.
    const QModelIndex root = form.TreeModel()->IndexOf(0);
    EXPECT_EQ(root.data().toString(), Q("\\"));
    EXPECT_EQ(root.data(kImageIndexRole).toInt(), 2);
    const QModelIndex family = Node("家族");
    EXPECT_EQ(family.data(kImageIndexRole).toInt(), 0);
    EXPECT_EQ(family.data(kSelectedImageIndexRole).toInt(), 3);
    EXPECT_TRUE(form.TreeView1->isExpanded(Node("開発部")));
    EXPECT_FALSE(form.TreeView1->selectionModel()->hasSelection());

    // Selecting in the view fills the list through TreeView1Change.
    form.TreeView1->setCurrentIndex(Node("友人"));
    ASSERT_EQ(form.ListModel()->rowCount(), 6);
    EXPECT_EQ(form.ListModel()->index(0, 0).data().toString(), Q("中村 美咲"));
    EXPECT_EQ(form.ListModel()->index(0, 1).data().toString(), Q("misaki.nakamura@example.com"));
    EXPECT_EQ(form.ListModel()->index(5, 0).data(kImageIndexRole).toInt(), 0);
    EXPECT_EQ(form.ListModel()->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(),
              Q("名前"));
    EXPECT_EQ(form.ListModel()->headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(),
              Q("メールアドレス"));
    EXPECT_TRUE(reports_.empty());
}

TEST_F(Form1WindowTest, EventsReachTheirHandlers) {
    TForm1Window& form = StartOnSample();
    form.TreeView1->setCurrentIndex(Node("趣味"));

    // Double-click on a group row moves the tree there.
    const int last = form.ListModel()->rowCount() - 1;
    SelectRows({last});
    const QRect rect = form.ListView1->visualRect(form.ListModel()->index(last, 0));
    QTest::mouseDClick(form.ListView1->viewport(), Qt::LeftButton, {}, rect.center());
    EXPECT_EQ(form.TreeView1->currentIndex(), Node("山歩きの会"));
    EXPECT_EQ(form.ListModel()->rowCount(), 4);

    // Ctrl+P in the list: the properties of the first selected row.
    auto* form2 = new TForm2Window(form.Form.PropertyCard, &form);
    form.Form.Form2 = &form2->Form;
    SelectRows({1, 0});
    QApplication::setActiveWindow(&form);
    form.ListView1->setFocus();
    QTest::keyClick(form.ListView1, Qt::Key_P, Qt::ControlModifier);
    EXPECT_EQ(form.Form.PropertyCard.Nickname, Utf8ToCp932("長谷川 聡"));
    EXPECT_TRUE(form2->isVisible());
    EXPECT_EQ(form2->windowTitle(), Q("長谷川 聡のプロパティ"));

    // The read button reads Edit1's folder anew: a fresh tree without selection.
    const TAddressBook* first = form.Form.Book();
    QTest::mouseClick(form.B_READ, Qt::LeftButton);
    EXPECT_NE(form.Form.Book(), first);
    EXPECT_FALSE(form.TreeView1->selectionModel()->hasSelection());

    // The close button saves and closes.
    QSignalSpy closed(&form, &TForm1Window::Closed);
    QTest::mouseClick(form.B_QUIT, Qt::LeftButton);
    EXPECT_EQ(closed.count(), 1);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(ReadAll(ini_).rfind("MailFolder: " + PathToCp932(kSample) + "\r\n", 0), 0u);
    EXPECT_TRUE(reports_.empty());
}

TEST_F(Form1WindowTest, FolderButtonRunsTheChooserOverTheWindow) {
    TForm1Window& form = StartOnSample();
    const QString chosen = QString::fromStdString((scope_.Dir() / "受信 フォルダ").string());
    fs::create_directories(scope_.Dir() / "受信 フォルダ");
    const TAddressBook* book = form.Form.Book();
    const auto click = [&] { QTest::mouseClick(form.B_SETFOLDER, Qt::LeftButton); };

    EXPECT_TRUE(AnswerFileDialog(click, [&](QFileDialog* d) {
        d->setDirectory(chosen);
        d->reject();
    }));
    EXPECT_EQ(form.Edit1->text().toStdString(), kSample.string());

    EXPECT_TRUE(AnswerFileDialog(click, [&](QFileDialog* d) {
        EXPECT_EQ(d->windowTitle(), Q("フォルダの選択"));
        EXPECT_EQ(d->parentWidget(), &form);
        d->setDirectory(chosen);
        static_cast<QDialog*>(d)->accept();  // QFileDialog::accept, as the OK button runs it
    }));
    EXPECT_EQ(form.Edit1->text(), chosen);
    EXPECT_EQ(form.Form.Book(), book);  // nothing read yet
    EXPECT_TRUE(reports_.empty());

    // A folder Shift-JIS cannot name: reported, and Edit1 keeps its text.
    fs::create_directories(scope_.Dir() / "한국어");
    const QString korean = QString::fromStdString((scope_.Dir() / "한국어").string());
    EXPECT_TRUE(AnswerFileDialog(click, [&](QFileDialog* d) {
        d->setDirectory(korean);
        static_cast<QDialog*>(d)->accept();
    }));
    EXPECT_EQ(form.Edit1->text(), chosen);
    ASSERT_EQ(reports_.size(), 1);
    EXPECT_TRUE(reports_[0].startsWith(Q("フォルダ「") + korean + Q("」")))
        << reports_[0].toStdString();
}

TEST_F(Form1WindowTest, RadioButtonsFollowTheMailClient) {
    TForm1Window& form = Start();
    // The desktop's mail client, as the program's entry chooses it, reaches
    // no open compose window.
    form.Form.SetMailClient(
        std::make_unique<TDesktopMailClient>(OpenUrlOnDesktop, TDesktopMailClient::kArgumentLimit));
    EXPECT_TRUE(form.RB_NewWin->isChecked());
    EXPECT_FALSE(form.RB_ExistWin->isEnabled());
    EXPECT_EQ(form.RB_ExistWin->toolTip(), Q("この環境では既存のメールウインドウに書き込めません"));
    EXPECT_TRUE(form.RB_NewWin->isEnabled());
}

TEST_F(Form1WindowTest, FirstStartWritesTheWindowsOuterBounds) {
    TForm1Window& form = StartShown();
    EXPECT_EQ(form.windowTitle(), Q("アドレス帳  ver. 0.99"));
    EXPECT_EQ(form.ver_label->text(), Q("ver. 0.99 by"));
    form_.reset();  // FormDestroy saves the outer bounds, whatever frame the window got
    const std::string saved = ReadAll(ini_);
    EXPECT_NE(saved.find("\r\nWindowLocation: 552,7\r\nWindowSize: 458,447\r\n"), std::string::npos)
        << saved;
}

TEST_F(Form1WindowTest, WindowOffEveryScreenComesBack) {
    for (const char* location : {"20000,-20000", "2147483647,2147483647", "-2147483648,0"}) {
        WriteAll(ini_, std::string("WindowLocation: ") + location + "\r\n");
        TForm1Window& form = Start();
        const QRect frame(form.Left(), form.Top(), form.Width(), form.Height());
        EXPECT_TRUE(QGuiApplication::primaryScreen()->availableGeometry().contains(frame))
            << location;
    }
}

TEST_F(Form1WindowTest, LayoutFollowsTheClientArea) {
    TForm1Window& form = StartShown();
    form.setMinimumSize(0, 0);  // a frame can leave a client area below the outer minimum
    const struct {
        int cw, ch;
        QRect tree, list;
        int panelTop;
    } cases[] = {
        {450, 420, {10, 10, 210, 205}, {230, 10, 210, 205}, 225},
        {451, 420, {10, 10, 210, 205}, {230, 10, 210, 205}, 225},  // 11 pixels right
    };
    for (const auto& c : cases) {
        form.resize(c.cw, c.ch);
        EXPECT_EQ(form.TreeView1->geometry(), c.tree) << c.cw << "x" << c.ch;
        EXPECT_EQ(form.ListView1->geometry(), c.list) << c.cw << "x" << c.ch;
        EXPECT_EQ(form.Panel1->geometry(), QRect(8, c.panelTop, 435, 185));
    }
}

TEST_F(Form1WindowTest, WindowCannotBeMadeSmallerThanItsMinimum) {
    TForm1Window& form = StartShown();
    form.SetWidth(100);
    form.SetHeight(100);
    EXPECT_EQ(form.Width(), 455);
    EXPECT_EQ(form.Height(), 320);
    EXPECT_EQ(form.Panel1->y(), form.height() - 10 - 185);
}

TEST_F(Form1WindowTest, ListColumnsShareTheClientWidth) {
    TForm1Window& form = StartShown();
    for (int width : {450, 451, 600}) {
        form.resize(width, 420);
        QApplication::processEvents();
        const int client = form.ListView1->viewport()->width();
        const QHeaderView* header = form.ListView1->header();
        EXPECT_EQ(header->sectionSize(0), (client + 1) / 2) << width;
        EXPECT_EQ(header->sectionSize(1), client / 2) << width;
    }
}

TEST_F(Form1WindowTest, CreditLabelHighlightStaysUntilTheMargin) {
    TForm1Window& form = StartShown();
    const QColor face = form.Label4->palette().color(QPalette::Window);
    auto move = [](QWidget* target, QPoint pos) {
        QMouseEvent event(QEvent::MouseMove, pos, target->mapToGlobal(pos), Qt::NoButton,
                          Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(target, &event);
    };
    move(form.Label4, {2, 2});
    const QColor lit = form.Label4->palette().color(QPalette::Window);
    EXPECT_EQ(lit, form.palette().color(QPalette::ToolTipBase));
    move(form.Panel1, {5, 5});
    EXPECT_EQ(form.Label4->palette().color(QPalette::Window), lit);
    move(&form, {2, 2});
    EXPECT_EQ(form.Label4->palette().color(QPalette::Window), face);
    EXPECT_EQ(form.Label4->cursor().shape(), Qt::PointingHandCursor);
}

}  // namespace
