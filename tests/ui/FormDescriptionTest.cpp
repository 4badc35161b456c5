// The forms as data: the tab chain both faces follow, the scaling for other
// screen densities, and the layout over a scaled form.
#include <gtest/gtest.h>

#include <set>

#include "tests/support/MemoryWindow.h"
#include "ui/FormDescription.h"
#include "ui/Unit1.h"

namespace {

std::vector<std::string> Names(const std::vector<const TControlDescription*>& controls) {
    std::vector<std::string> names;
    for (const TControlDescription* c : controls) {
        names.push_back(c->Name);
    }
    return names;
}

TEST(FormDescriptionTest, TabVisitsEachContainerInItsOrder) {
    EXPECT_EQ(Names(TabChain(Form1Description())),
              (std::vector<std::string>{"ListView1", "TreeView1", "B_QUIT", "B_TO", "RB_NewWin",
                                        "RB_ExistWin", "B_CC", "B_BCC", "Edit2", "B_QUOTE", "Edit1",
                                        "B_SETFOLDER", "B_READ"}));
    EXPECT_EQ(Names(TabChain(Form2Description())),
              (std::vector<std::string>{"NickName", "Address", "Tel", "Org", "OrgUnit", "Memo",
                                        "Button1"}));
}

TEST(FormDescriptionTest, EveryContainerComesBeforeWhatItHolds) {
    for (const TFormDescription* form : {&Form1Description(), &Form2Description()}) {
        std::set<std::string> seen;
        for (const TControlDescription& c : form->Controls) {
            EXPECT_TRUE(c.Parent.empty() || seen.count(c.Parent)) << form->Name << " " << c.Name;
            EXPECT_TRUE(seen.insert(c.Name).second) << "twice: " << form->Name << " " << c.Name;
        }
    }
}

TEST(FormDescriptionTest, ScalingRoundsEachEdgeAsAFormDoes) {
    const struct {
        int dpi;
        TBounds form;
        int minWidth, minHeight;
        TBounds edit1;  // left 111.25, right 292.5: the width is not 145 scaled alone
        int fontHeight, indent;
    } cases[] = {
        {96, {552, 7, 458, 447}, 455, 320, {89, 11, 145, 20}, 12, 19},
        {120, {690, 9, 573, 559}, 569, 400, {111, 14, 182, 25}, 15, 24},
        {144, {828, 11, 687, 670}, 683, 480, {134, 17, 217, 30}, 18, 29},
        {192, {1104, 14, 916, 894}, 910, 640, {178, 22, 290, 40}, 24, 38},
    };
    for (const auto& c : cases) {
        const TFormDescription scaled = ScaleForm(Form1Description(), c.dpi);
        EXPECT_EQ(scaled.Bounds, c.form) << c.dpi;
        EXPECT_EQ(scaled.MinWidth, c.minWidth) << c.dpi;
        EXPECT_EQ(scaled.MinHeight, c.minHeight) << c.dpi;
        EXPECT_EQ(scaled.Control("Edit1").Bounds, c.edit1) << c.dpi;
        EXPECT_EQ(scaled.Font.Height, c.fontHeight) << c.dpi;
        EXPECT_EQ(scaled.FontOf(scaled.Control("Label4")).Height, c.fontHeight) << c.dpi;
        EXPECT_TRUE(scaled.FontOf(scaled.Control("Label4")).Underline) << c.dpi;
        EXPECT_EQ(scaled.Control("TreeView1").Indent, c.indent) << c.dpi;
        // Labels keep sizing themselves; the images keep their pixels.
        EXPECT_EQ(scaled.Control("Label1").Bounds.Width, 0) << c.dpi;
        EXPECT_EQ(scaled.Control("ImageList1").Bounds, (TBounds{0, 0, 16, 16})) << c.dpi;
        EXPECT_EQ(scaled.Controls.size(), Form1Description().Controls.size());
    }
    const TFormDescription form2 = ScaleForm(Form2Description(), 144);
    EXPECT_EQ(form2.Bounds, (TBounds{680, 167, 370, 367}));
    EXPECT_EQ(form2.MinWidth, 0);
    EXPECT_EQ(form2.Control("Button1").Bounds, (TBounds{129, 276, 113, 38}));
}

TEST(FormDescriptionTest, LayoutKeepsTheScaledMargins) {
    for (int dpi : {120, 144, 192}) {
        const TFormDescription design = ScaleForm(Form1Description(), dpi);
        const int gap = design.Control("TreeView1").Bounds.Left;
        const int panelHeight = design.Control("Panel1").Bounds.Height;
        TMemoryForm1View view;
        view.Controls[TLayoutControl::TreeView1] = design.Control("TreeView1").Bounds;
        view.Controls[TLayoutControl::ListView1] = design.Control("ListView1").Bounds;
        view.Controls[TLayoutControl::Panel1] = design.Control("Panel1").Bounds;
        TForm1 form(view, design);
        view.Form = &form;
        for (int width : {design.MinWidth, design.Bounds.Width, design.Bounds.Width + 1, 2000}) {
            view.Resize(width, design.Bounds.Height);
            const TBounds tree = view.Bounds(TLayoutControl::TreeView1);
            const TBounds list = view.Bounds(TLayoutControl::ListView1);
            const TBounds panel = view.Bounds(TLayoutControl::Panel1);
            const int cw = view.ClientWidth(), ch = view.ClientHeight();
            SCOPED_TRACE(std::to_string(dpi) + " dpi, " + std::to_string(width));
            EXPECT_EQ(tree.Left, gap);
            EXPECT_EQ(tree.Top, gap);
            EXPECT_EQ(list.Left - (tree.Left + tree.Width), gap);
            EXPECT_EQ(list.Width, tree.Width);
            EXPECT_EQ(list.Top, tree.Top);
            const int right = cw - (list.Left + list.Width);
            EXPECT_TRUE(right == gap || right == gap + 1) << right;
            EXPECT_EQ(panel.Top - (tree.Top + tree.Height), gap);
            EXPECT_EQ(ch - (panel.Top + panel.Height), gap);
            EXPECT_EQ(panel.Height, panelHeight);
        }
        EXPECT_EQ(view.Width(), std::max(2000, design.MinWidth));
        view.Resize(1, 1);
        EXPECT_EQ(view.Width(), design.MinWidth);
        EXPECT_EQ(view.Height(), design.MinHeight);
    }
}

}  // namespace
