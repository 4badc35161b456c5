#include "tests/support/QtForm.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

#include "ui/qt/QtForm.h"
#include "ui/qt/UiText.h"

namespace {

QString Text(const QWidget* widget) {
    if (auto* b = qobject_cast<const QAbstractButton*>(widget)) {
        return b->text();
    }
    if (auto* e = qobject_cast<const QLineEdit*>(widget)) {
        return e->text();
    }
    if (auto* g = qobject_cast<const QGroupBox*>(widget)) {
        return g->title();
    }
    if (auto* l = qobject_cast<const QLabel*>(widget)) {
        return l->text();
    }
    return {};
}

bool IsWidget(TControlKind kind) {
    return kind != TControlKind::ImageList && kind != TControlKind::PopupMenu &&
           kind != TControlKind::MenuItem;
}

}  // namespace

void ExpectDrawnAsDescribed(const QWidget& form, const TFormDescription& design) {
    EXPECT_EQ(form.objectName().toStdString(), design.Name);
    for (const TControlDescription& c : design.Controls) {
        SCOPED_TRACE(c.Name);
        if (c.Kind == TControlKind::MenuItem) {
            auto* action = FormControl<QAction>(form, c.Name);
            ASSERT_NE(action, nullptr);
            EXPECT_EQ(action->text(), FromCp932(c.Caption));
            continue;
        }
        if (!IsWidget(c.Kind)) {
            EXPECT_NE(FormControl<QObject>(form, c.Name), nullptr);
            continue;
        }
        auto* widget = FormControl<QWidget>(form, c.Name);
        ASSERT_NE(widget, nullptr);
        const QWidget* parent = c.Parent.empty() ? &form : FormControl<QWidget>(form, c.Parent);
        EXPECT_EQ(widget->parentWidget(), parent);
        const TBounds& b = c.Bounds;
        if (c.Anchors & akLeft) {
            EXPECT_EQ(widget->x(), b.Left);
        }
        if (c.Anchors & akTop) {
            EXPECT_EQ(widget->y(), b.Top);
        }
        if (c.Kind == TControlKind::Label) {
            EXPECT_EQ(widget->size(), widget->sizeHint());
        } else if (!(c.Anchors & (akRight | akBottom))) {
            EXPECT_EQ(widget->size(), QSize(b.Width, b.Height));
        }
        // Creation replaces the version text.
        if (c.Name != "ver_label") {
            EXPECT_EQ(Text(widget), FromCp932(c.Caption));
        }
        const TFontDescription& font = design.FontOf(c);
        EXPECT_EQ(widget->font().family(), QtFont(font).family());
        // A text wider than its control in the installed font may take a pixel less.
        EXPECT_LE(widget->font().pixelSize(), font.Height);
        EXPECT_GE(widget->font().pixelSize(), font.Height - 1);
        EXPECT_EQ(widget->font().underline(), font.Underline);
        EXPECT_EQ(widget->toolTip(), FromCp932(c.Hint));
        if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
            EXPECT_EQ(edit->isReadOnly(), c.ReadOnly);
        }
        if (c.Color == TColor::Menu) {
            EXPECT_EQ(widget->palette().color(QPalette::Base), MenuColor());
        }
        if (c.FontColor == TColor::Blue) {
            EXPECT_EQ(widget->palette().color(QPalette::WindowText), QColor(Qt::blue));
        }
    }

    const std::vector<const TControlDescription*> chain = TabChain(design);
    ASSERT_FALSE(chain.empty());
    auto nextTabStop = [](const QWidget* w) {
        QWidget* next = w->nextInFocusChain();
        while (!(next->focusPolicy() & Qt::TabFocus)) {
            next = next->nextInFocusChain();
        }
        return next;
    };
    for (size_t i = 0; i < chain.size(); ++i) {
        const QWidget* current = FormControl<QWidget>(form, chain[i]->Name);
        const QWidget* next = FormControl<QWidget>(form, chain[(i + 1) % chain.size()]->Name);
        EXPECT_EQ(nextTabStop(current), next) << chain[i]->Name;
    }
}
