#include "DirDialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>
#include <functional>

namespace {

QString ExeDir() {
    return QFileInfo(QCoreApplication::applicationFilePath()).absolutePath();
}

TEST(DirDialogDirectory, FromFileNameUnderThePathRule) {
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    const QString root = QDir(tmp.path()).absolutePath();
    const QString japanese = root + QStringLiteral("/メール フォルダ");
    ASSERT_TRUE(QDir().mkpath(japanese + QStringLiteral("/受信箱")));
    ASSERT_TRUE(QDir().mkpath(root + QStringLiteral("/Vanished")));

    TDirDialog dialog(nullptr);
    EXPECT_EQ(dialog.FileName(), QStringLiteral("Dummy.dat"));
    EXPECT_TRUE(dialog.Title().isEmpty());

    struct Case {
        QString fileName;
        QString expected;
    };
    const Case cases[] = {
        {root + QStringLiteral("/Dummy.dat"), root},
        {japanese + QStringLiteral("/受信箱/Dummy.dat"), japanese + QStringLiteral("/受信箱")},
        {japanese + QStringLiteral("/"), japanese},
        {QStringLiteral("/Dummy.dat"), QStringLiteral("/")},
        {root + QStringLiteral("/Gone/Dummy.dat"), ExeDir()},
        {QStringLiteral("Dummy.dat"), ExeDir()},
        {QString(), ExeDir()},
    };
    for (const Case& c : cases) {
        dialog.SetFileName(c.fileName);
        EXPECT_EQ(dialog.Directory(), c.expected) << c.fileName.toStdString();
    }

    // A folder that vanishes between the choice and the question.
    dialog.SetFileName(root + QStringLiteral("/Vanished/Dummy.dat"));
    EXPECT_EQ(dialog.Directory(), root + QStringLiteral("/Vanished"));
    ASSERT_TRUE(QDir(root + QStringLiteral("/Vanished")).removeRecursively());
    EXPECT_EQ(dialog.Directory(), ExeDir());
}

// Runs Choose while `act` handles the open dialog from the event loop.
bool ChooseWith(TDirDialog& dialog, std::function<void(QFileDialog*)> act) {
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
    const bool confirmed = dialog.Choose();
    EXPECT_TRUE(handled);
    return confirmed;
}

class DirDialogRun : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(tmp.isValid());
        root = QDir(tmp.path()).absolutePath();
        mail = root + QStringLiteral("/メール");
        ASSERT_TRUE(QDir().mkpath(mail));
    }
    QTemporaryDir tmp;
    QString root;
    QString mail;
    QWidget owner;
};

TEST_F(DirDialogRun, ConfirmGivesTheOpenFolder) {
    TDirDialog dialog(&owner);
    QString title, lookIn, accept;
    bool fileBoxesHidden = false;
    bool lookInKeyBound = false;
    const bool confirmed = ChooseWith(dialog, [&](QFileDialog* d) {
        title = d->windowTitle();
        lookIn = d->labelText(QFileDialog::LookIn);
        accept = d->labelText(QFileDialog::Accept);
        auto* edit = d->findChild<QWidget*>(QStringLiteral("fileNameEdit"));
        auto* combo = d->findChild<QWidget*>(QStringLiteral("fileTypeCombo"));
        fileBoxesHidden = edit && combo && edit->isHidden() && combo->isHidden();
        // With a buddy the label shows the access key, not the "&".
        auto* lookInLabel = d->findChild<QLabel*>(QStringLiteral("lookInLabel"));
        lookInKeyBound = lookInLabel && lookInLabel->buddy() != nullptr;
        EXPECT_TRUE(d->isModal());
        EXPECT_EQ(d->parentWidget(), &owner);
        d->setDirectory(mail);
        static_cast<QDialog*>(d)->accept();  // QFileDialog::accept, as the OK button runs it
    });
    EXPECT_TRUE(confirmed);
    EXPECT_EQ(title, QStringLiteral("フォルダの選択"));
    EXPECT_EQ(lookIn, QStringLiteral("フォルダの場所(&I)"));
    EXPECT_EQ(accept, QStringLiteral("OK"));
    EXPECT_TRUE(fileBoxesHidden);
    EXPECT_TRUE(lookInKeyBound);
    EXPECT_EQ(dialog.Title(), QStringLiteral("フォルダの選択"));
    EXPECT_EQ(dialog.FileName(), mail + QStringLiteral("/Dummy.dat"));
    EXPECT_EQ(dialog.Directory(), mail);
}

TEST_F(DirDialogRun, ConfirmAtTheRootKeepsItsSeparator) {
    TDirDialog dialog(&owner);
    ASSERT_TRUE(ChooseWith(dialog, [](QFileDialog* d) {
        d->setDirectory(QStringLiteral("/"));
        static_cast<QDialog*>(d)->accept();  // QFileDialog::accept, as the OK button runs it
    }));
    EXPECT_EQ(dialog.Directory(), QStringLiteral("/"));
}

TEST_F(DirDialogRun, OkButtonConfirms) {
    TDirDialog dialog(&owner);
    ASSERT_TRUE(ChooseWith(dialog, [&](QFileDialog* d) {
        d->setDirectory(mail);
        QPushButton* ok = nullptr;
        for (QPushButton* b : d->findChildren<QPushButton*>()) {
            if (b->text() == QStringLiteral("OK"))
                ok = b;
        }
        if (!ok) {
            ADD_FAILURE() << "no OK button";
            d->reject();
            return;
        }
        ok->click();
    }));
    EXPECT_EQ(dialog.Directory(), mail);
}

TEST_F(DirDialogRun, CancelGivesFalseAndKeepsTheTitleSetBefore) {
    TDirDialog dialog(&owner);
    dialog.SetTitle(QStringLiteral("別の題"));
    QString title;
    EXPECT_FALSE(ChooseWith(dialog, [&](QFileDialog* d) {
        title = d->windowTitle();
        d->setDirectory(mail);
        d->reject();
    }));
    EXPECT_EQ(title, QStringLiteral("別の題"));
    EXPECT_EQ(dialog.FileName(), QStringLiteral("Dummy.dat"));
}

}  // namespace
