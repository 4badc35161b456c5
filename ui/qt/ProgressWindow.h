// The Qt face of the hand-off's progress window: a small modeless window
// with one line of text and "中止", which (like its close box) runs
// ProgressCancelClick.
#pragma once

#include <QDialog>
#include <functional>

#include "ui/Form1View.h"

class QLabel;
class QPushButton;

class TQtProgressWindow : public QDialog, public TProgressView {
    Q_OBJECT
  public:
    TQtProgressWindow(QWidget* owner, std::function<void()> cancel);

    QLabel* Label1;
    QPushButton* B_CANCEL;

    void ShowProgress(const std::string& caption, const std::string& text,
                      const std::string& button) override;
    void HideProgress() override;
    bool ProgressVisible() const override { return isVisible(); }

  protected:
    void reject() override;

  private:
    std::function<void()> cancel_;
};
