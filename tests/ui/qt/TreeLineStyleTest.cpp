// The group tree's lines and expand buttons, drawn into an image.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QStyleOption>
#include <QTreeView>

#include "tests/support/QtWindow.h"
#include "ui/qt/Form1Window.h"
#include "ui/qt/TreeLineStyle.h"

namespace {

// One branch cell (19 x 18, the tree's indentation) drawn with these states.
QImage Branch(QStyle::State state) {
    TTreeLineStyle style;
    QImage image(19, 18, QImage::Format_ARGB32);
    image.fill(Qt::white);
    QStyleOption option;
    option.rect = image.rect();
    option.state = state;
    option.palette.setColor(QPalette::Dark, Qt::black);
    option.palette.setColor(QPalette::Text, Qt::black);
    option.palette.setColor(QPalette::Base, Qt::white);
    QPainter painter(&image);
    style.drawPrimitive(QStyle::PE_IndicatorBranch, &option, &painter);
    return image;
}

// Whether any pixel of the run is drawn.
bool Inked(const QImage& image, QPoint from, QPoint to) {
    for (int x = from.x(); x <= to.x(); ++x) {
        for (int y = from.y(); y <= to.y(); ++y) {
            if (image.pixelColor(x, y) != Qt::white) {
                return true;
            }
        }
    }
    return false;
}

TEST(TreeLineStyle, LinesReachTheItemAndItsSiblings) {
    const QPoint up{9, 0}, centre{9, 9}, down{9, 17};
    const struct {
        const char* what;
        QStyle::State state;
        bool above, below, across, box;
    } cases[] = {
        {"last child", QStyle::State_Item, true, false, true, false},
        {"child with a sibling below", QStyle::State_Item | QStyle::State_Sibling, true, true, true,
         false},
        {"an ancestor's line passing", QStyle::State_Sibling, true, true, false, false},
        {"empty column", QStyle::State_None, false, false, false, false},
        {"closed group", QStyle::State_Item | QStyle::State_Children, true, false, true, true},
    };
    for (const auto& c : cases) {
        const QImage image = Branch(c.state);
        EXPECT_EQ(Inked(image, up, {9, 3}), c.above) << c.what;
        EXPECT_EQ(Inked(image, {9, 14}, down), c.below) << c.what;
        EXPECT_EQ(Inked(image, {15, 9}, {18, 9}), c.across) << c.what;
        EXPECT_EQ(Inked(image, {5, 5}, {5, 13}), c.box) << c.what;  // the box's left side
        (void)centre;
    }
    // Closed: a plus; open: a minus.
    const QImage closed = Branch(QStyle::State_Item | QStyle::State_Children);
    const QImage open = Branch(QStyle::State_Item | QStyle::State_Children | QStyle::State_Open);
    EXPECT_TRUE(Inked(closed, {9, 7}, {9, 7}));
    EXPECT_FALSE(Inked(open, {9, 7}, {9, 7}));
    EXPECT_TRUE(Inked(open, {7, 9}, {11, 9}));
}

TEST(TreeLineStyle, TheTreeUsesItFromItsTopLevel) {
    TQtWindowScope scope;
    TForm1Window form;
    EXPECT_NE(dynamic_cast<TTreeLineStyle*>(form.TreeView1->style()), nullptr);
    EXPECT_TRUE(form.TreeView1->rootIsDecorated());
    EXPECT_EQ(form.TreeView1->indentation(), 19);
}

}  // namespace
