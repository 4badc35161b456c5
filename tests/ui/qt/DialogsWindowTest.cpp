// The properties dialog and the folder chooser as the main window uses them,
// on the sample mail folder.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>

#include "core/Encoding.h"
#include "ui/ErrorReport.h"
#include "ui/qt/Form1Window.h"
#include "ui/qt/Form2Window.h"

namespace {

class WindowDialogs : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(tmp.isValid());
        TForm1::SetIniFileOverride(
            std::filesystem::path(tmp.filePath(QStringLiteral("quorvantel.ini")).toStdString()));
        SetErrorReporter(
            [this](const std::string& text) { reports << QString::fromStdString(text); });
        form = std::make_unique<TForm1Window>();
        form2 = new TForm2Window(form->Form.PropertyCard, form.get());
        form->Form.Form2 = &form2->Form;
        form->show();
        form->Edit1->setText(QStringLiteral(QUORVANTEL_EXAMPLES_DIR "/mailbox"));
        form->Form.B_READClick();
        ASSERT_NE(form->Form.Book(), nullptr);
    }
    void TearDown() override {
        form.reset();
        SetErrorReporter({});
        TForm1::SetIniFileOverride(std::nullopt);
        EXPECT_TRUE(reports.isEmpty()) << reports.join(u'\n').toStdString();
    }

    void SelectGroup(const char* utf8) {
        const std::string name = Utf8ToCp932(utf8);
        const auto& nodes = form->TreeModel()->Nodes();
        for (size_t i = 0; i < nodes.size(); ++i) {
            if (nodes[i].Name == name) {
                form->TreeView1->setCurrentIndex(form->TreeModel()->IndexOf(static_cast<int>(i)));
                return;
            }
        }
        FAIL() << "no group node " << utf8;
    }

    void SelectMember(const char* utf8) {
        const std::string name = Utf8ToCp932(utf8);
        const auto& rows = form->ListModel()->Rows();
        for (size_t i = 0; i < rows.size(); ++i) {
            if (rows[i].Caption == name) {
                form->ListView1->selectionModel()->select(
                    form->ListModel()->index(static_cast<int>(i), 0),
                    QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
                return;
            }
        }
        FAIL() << "no list item " << utf8;
    }

    // Ctrl+P with the keyboard focus in the list, as the user presses it.
    void PressCtrlP() {
        QApplication::setActiveWindow(form.get());
        form->ListView1->setFocus();
        QTest::keyClick(form->ListView1, Qt::Key_P, Qt::ControlModifier);
    }

    TForm2Window& Dialog() { return *form2; }

    QTemporaryDir tmp;
    QStringList reports;
    std::unique_ptr<TForm1Window> form;
    TForm2Window* form2 = nullptr;
};

TEST_F(WindowDialogs, CardGroupUnknownAndSeveralAddresses) {
    struct Case {
        const char* group;
        const char* member;
        QString caption;
        QString nickName, address, tel, org, orgUnit, memo;
    };
    const Case cases[] = {
        {"開発部", "伊藤 誠", QStringLiteral("伊藤 誠のプロパティ"), QStringLiteral("伊藤 誠"),
         QStringLiteral("makoto.ito@minato-is.example.jp"), QStringLiteral("03-5412-7700"),
         QStringLiteral("株式会社みなと情報システム"), QStringLiteral("開発部"),
         QStringLiteral("部長 内線: 2101")},
        {"\\",
         "家族",
         QStringLiteral("家族のプロパティ"),
         QStringLiteral("家族"),
         {},
         {},
         {},
         {},
         {}},
        {"友人", "鈴木 一郎", QStringLiteral("のプロパティ"), {}, {}, {}, {}, {}, {}},
        {"取引先", "田中 宏", QStringLiteral("田中 宏のプロパティ"), QStringLiteral("田中 宏"),
         QStringLiteral("hiroshi.tanaka@kitakaze.example.com;h-tanaka@mobile.example.jp"),
         QStringLiteral("06-6231-4450"), QStringLiteral("北風商事株式会社"),
         QStringLiteral("営業部"), QStringLiteral("部長 急ぎの件は携帯にも")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.member);
        SelectGroup(c.group);
        SelectMember(c.member);
        Dialog().close();
        PressCtrlP();
        EXPECT_TRUE(Dialog().isVisible());
        EXPECT_EQ(Dialog().windowTitle(), c.caption);
        EXPECT_EQ(Dialog().NickName->text(), c.nickName);
        EXPECT_EQ(Dialog().Address->text(), c.address);
        EXPECT_EQ(Dialog().Tel->text(), c.tel);
        EXPECT_EQ(Dialog().Org->text(), c.org);
        EXPECT_EQ(Dialog().OrgUnit->text(), c.orgUnit);
        EXPECT_EQ(Dialog().Memo->text(), c.memo);
    }
}

TEST_F(WindowDialogs, OpenDialogFollowsTheNextCommandAndTheWindowStaysUsable) {
    SelectGroup("家族");
    SelectMember("佐藤 美和子");
    form->Property1->trigger();
    ASSERT_TRUE(Dialog().isVisible());
    EXPECT_EQ(Dialog().NickName->text(), QStringLiteral("佐藤 美和子"));

    // Not modal: the list still takes a new selection and another command.
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    SelectMember("佐藤 正雄");
    PressCtrlP();
    EXPECT_TRUE(Dialog().isVisible());
    EXPECT_EQ(Dialog().windowTitle(), QStringLiteral("佐藤 正雄のプロパティ"));
    EXPECT_EQ(Dialog().Address->text(), QString());
    EXPECT_EQ(Dialog().Tel->text(), QStringLiteral("0263-47-1182"));

    // Closed with its button, then shown again for another entry.
    QTest::mouseClick(Dialog().Button1, Qt::LeftButton);
    EXPECT_FALSE(Dialog().isVisible());
    SelectMember("高橋 由美");
    PressCtrlP();
    EXPECT_TRUE(Dialog().isVisible());
    EXPECT_EQ(Dialog().Memo->text(), QStringLiteral("妹 横浜在住"));
}

TEST_F(WindowDialogs, NoSelectionNoDialog) {
    SelectGroup("家族");
    form->ListView1->clearSelection();
    PressCtrlP();
    EXPECT_FALSE(Dialog().isVisible());
    EXPECT_EQ(form->Form.PropertyCard, TCard{});
}

// Presses 参照... and lets `act` answer the folder dialog.
void BrowseWith(TForm1Window& form, std::function<void(QFileDialog*)> act) {
    bool handled = false;
    std::function<void()> poll;
    poll = [&] {
        auto* open = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!open) {
            QTimer::singleShot(10, poll);
            return;
        }
        handled = true;
        act(open);
    };
    QTimer::singleShot(0, poll);
    QTest::mouseClick(form.B_SETFOLDER, Qt::LeftButton);
    EXPECT_TRUE(handled);
}

TEST_F(WindowDialogs, FolderButtonSetsTheFolderWithoutReadingIt) {
    const QString chosen = QDir(tmp.path()).absolutePath() + QStringLiteral("/受信 フォルダ");
    ASSERT_TRUE(QDir().mkpath(chosen));
    const QString before = form->Edit1->text();
    const TAddressBook* book = form->Form.Book();
    const size_t nodes = form->TreeModel()->Nodes().size();

    BrowseWith(*form, [&](QFileDialog* d) {
        d->setDirectory(chosen);
        d->reject();
    });
    EXPECT_EQ(form->Edit1->text(), before);

    BrowseWith(*form, [&](QFileDialog* d) {
        EXPECT_EQ(d->windowTitle(), QStringLiteral("フォルダの選択"));
        d->setDirectory(chosen);
        static_cast<QDialog*>(d)->accept();
    });
    EXPECT_EQ(form->Edit1->text(), chosen);
    EXPECT_EQ(form->Form.Book(), book);
    EXPECT_EQ(form->TreeModel()->Nodes().size(), nodes);
}

}  // namespace
