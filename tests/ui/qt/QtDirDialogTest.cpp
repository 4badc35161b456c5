// The folder chooser on Qt's own file dialog, answered as a user would.
#include "ui/qt/QtDirDialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QWidget>
#include <functional>

#include "core/Encoding.h"
#include "tests/support/QtDialogs.h"

namespace {

// Runs Choose while `act` handles the open dialog from the event loop.
bool ChooseWith(TDirDialog& dialog, std::function<void(QFileDialog*)> act) {
    bool confirmed = false;
    EXPECT_TRUE(AnswerFileDialog([&] { confirmed = dialog.Choose(); }, act));
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
    TQtDirDialogPlatform platform{&owner};
};

TEST_F(DirDialogRun, ConfirmGivesTheOpenFolder) {
    TDirDialog dialog(platform);
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
    EXPECT_EQ(dialog.Title(), Utf8ToCp932("フォルダの選択"));
    EXPECT_EQ(dialog.FileName(), (mail + QStringLiteral("/Dummy.dat")).toStdString());
    EXPECT_EQ(dialog.Directory(), mail.toStdString());
}

TEST_F(DirDialogRun, ConfirmAtTheRootKeepsItsSeparator) {
    TDirDialog dialog(platform);
    ASSERT_TRUE(ChooseWith(dialog, [](QFileDialog* d) {
        d->setDirectory(QStringLiteral("/"));
        static_cast<QDialog*>(d)->accept();  // QFileDialog::accept, as the OK button runs it
    }));
    EXPECT_EQ(dialog.Directory(), "/");
}

TEST_F(DirDialogRun, OkButtonConfirms) {
    TDirDialog dialog(platform);
    ASSERT_TRUE(ChooseWith(dialog, [&](QFileDialog* d) {
        d->setDirectory(mail);
        QPushButton* ok = nullptr;
        for (QPushButton* b : d->findChildren<QPushButton*>()) {
            if (b->text() == QStringLiteral("OK")) {
                ok = b;
            }
        }
        if (!ok) {
            ADD_FAILURE() << "no OK button";
            d->reject();
            return;
        }
        ok->click();
    }));
    EXPECT_EQ(dialog.Directory(), mail.toStdString());
}

TEST_F(DirDialogRun, CancelGivesFalseAndKeepsTheTitleSetBefore) {
    TDirDialog dialog(platform);
    dialog.SetTitle(Utf8ToCp932("別の題"));
    QString title;
    EXPECT_FALSE(ChooseWith(dialog, [&](QFileDialog* d) {
        title = d->windowTitle();
        d->setDirectory(mail);
        d->reject();
    }));
    EXPECT_EQ(title, QStringLiteral("別の題"));
    EXPECT_EQ(dialog.FileName(), "Dummy.dat");
}

}  // namespace
