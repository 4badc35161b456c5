// Every fixed-size control shows its whole text in the font it is drawn
// with: measured with that font's metrics against the control's width, so
// that a font that runs wider brings back no clipped text unnoticed.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <memory>

#include "tests/support/QtWindow.h"
#include "ui/qt/Form1Window.h"
#include "ui/qt/Form2Window.h"

namespace {

int Advance(const QWidget* w, const QString& text) {
    return QFontMetrics(w->font()).horizontalAdvance(text);
}

int Metric(const QWidget* w, QStyle::PixelMetric metric) {
    return w->style()->pixelMetric(metric, nullptr, w);
}

// Text, the style's margins on both sides and the frame.
void ExpectButtonFits(const QPushButton* b) {
    const int needed = Advance(b, b->text()) + 2 * Metric(b, QStyle::PM_ButtonMargin) +
                       2 * Metric(b, QStyle::PM_DefaultFrameWidth);
    EXPECT_LE(needed, b->width()) << b->objectName().toStdString() << ": "
                                  << b->text().toStdString();
}

void ExpectRadioFits(const QRadioButton* r) {
    const int needed = Metric(r, QStyle::PM_ExclusiveIndicatorWidth) +
                       Metric(r, QStyle::PM_RadioButtonLabelSpacing) + Advance(r, r->text()) + 2;
    EXPECT_LE(needed, r->width()) << r->objectName().toStdString();
}

void ExpectTitleFits(const QGroupBox* g) {
    EXPECT_LE(Advance(g, g->title()) + 16, g->width()) << g->objectName().toStdString();
}

// A label ends before the control that follows it on its line.
void ExpectLabelEndsBefore(const QLabel* label, const QWidget* next, int gap = 1) {
    const QPoint end = label->mapTo(label->window(), QPoint(label->width(), 0));
    const QPoint start = next->mapTo(next->window(), QPoint(0, 0));
    EXPECT_LE(label->x() + Advance(label, label->text()), label->x() + label->width())
        << label->objectName().toStdString();
    EXPECT_LE(end.x() + gap, start.x())
        << label->objectName().toStdString() << " runs into " << next->objectName().toStdString();
}

class TextFit : public ::testing::TestWithParam<QSize> {
  protected:
    TQtWindowScope scope_;
};

TEST_P(TextFit, MainWindowControlsShowTheirWholeText) {
    TForm1Window form;
    form.resize(GetParam());
    form.show();
    for (const QPushButton* b : form.findChildren<QPushButton*>()) {
        ExpectButtonFits(b);
    }
    for (const QRadioButton* r : form.findChildren<QRadioButton*>()) {
        ExpectRadioFits(r);
    }
    for (const QGroupBox* g : form.findChildren<QGroupBox*>()) {
        ExpectTitleFits(g);
    }
    ExpectLabelEndsBefore(form.Label1, form.Edit1);
    ExpectLabelEndsBefore(form.Label3, form.Edit2);
    ExpectLabelEndsBefore(form.Label2, form.ver_label);
    ExpectLabelEndsBefore(form.ver_label, form.Label4);
    EXPECT_LE(form.Label4->x() + form.Label4->width(), form.Panel1->width());

    // The list's column headers at the width the list has.
    const QHeaderView* header = form.ListView1->header();
    form.ListModel()->SetColumnCaption(1, QStringLiteral("メールアドレス"));
    for (int column = 0; column < 2; ++column) {
        const QString caption =
            form.ListModel()->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
        EXPECT_LE(Advance(header, caption) + 2 * Metric(header, QStyle::PM_HeaderMargin),
                  header->sectionSize(column))
            << column;
    }
}

TEST_P(TextFit, PropertiesDialogShowsItsWholeText) {
    TCard card;
    TForm2Window form(card);
    form.show();
    ExpectButtonFits(form.Button1);
    for (const QLabel* label :
         {form.Label1, form.Label2, form.Label3, form.Label4, form.Label5, form.Label6}) {
        EXPECT_LE(label->x() + Advance(label, label->text()) + 1, 72)
            << label->objectName().toStdString();
    }
}

// The design size and the minimum size.
INSTANTIATE_TEST_SUITE_P(Sizes, TextFit, ::testing::Values(QSize(458, 447), QSize(455, 320)));

}  // namespace
