#include "ui/qt/QtForm.h"

#include <QAction>
#include <QFontDatabase>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>

#include "ui/qt/ItemModels.h"
#include "ui/qt/TreeLineStyle.h"
#include "ui/qt/UiText.h"

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
    if (event->button() == Qt::LeftButton) {
        emit DoubleClicked();
    }
}

// ---- The walker

QFont QtFont(const TFontDescription& description) {
    const QStringList installed = QFontDatabase::families();
    QFont font;
    for (const QString& family :
         {FromCp932(description.Name), QStringLiteral("MS PGothic"), QStringLiteral("IPAPGothic"),
          QStringLiteral("Noto Sans CJK JP")}) {
        if (installed.contains(family)) {
            font = QFont(family);
            break;
        }
    }
    font.setPixelSize(description.Height);
    font.setUnderline(description.Underline);
    return font;
}

namespace {

QString Name(const std::string& name) {
    return QString::fromStdString(name);
}

QSize ImageSize(const TFormDescription& form, const TControlDescription& control) {
    const TBounds& b = form.Control(control.Images).Bounds;
    return {b.Width, b.Height};
}

QWidget* Create(const TFormDescription& form, const TControlDescription& c, QWidget* parent) {
    const QString caption = FromCp932(c.Caption);
    switch (c.Kind) {
        case TControlKind::ListView: {
            auto* list = new TListView(parent);
            list->setIconSize(ImageSize(form, c));
            if (!c.PopupMenu.empty()) {
                list->setContextMenuPolicy(Qt::CustomContextMenu);
            }
            return list;
        }
        case TControlKind::TreeView: {
            auto* tree = new QTreeView(parent);
            tree->setHeaderHidden(true);
            tree->setRootIsDecorated(true);
            tree->setIndentation(c.Indent);
            tree->setUniformRowHeights(true);
            tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
            tree->setSelectionMode(QAbstractItemView::SingleSelection);
            tree->setIconSize(ImageSize(form, c));
            auto* lines = new TTreeLineStyle;
            lines->setParent(tree);
            tree->setStyle(lines);
            return tree;
        }
        case TControlKind::Panel:
            return new QWidget(parent);
        case TControlKind::Label:
            return new QLabel(caption, parent);
        case TControlKind::Edit: {
            auto* edit = new QLineEdit(caption, parent);
            edit->setReadOnly(c.ReadOnly);
            return edit;
        }
        case TControlKind::Button:
            return new QPushButton(caption, parent);
        case TControlKind::GroupBox:
        case TControlKind::RadioGroup:
            return new QGroupBox(caption, parent);
        case TControlKind::RadioButton:
            return new QRadioButton(caption, parent);
        default:
            return nullptr;
    }
}

void SetColors(QWidget* widget, const TControlDescription& c) {
    if (c.Color == TColor::Default && c.FontColor == TColor::Default) {
        return;
    }
    QPalette palette = widget->palette();
    if (c.FontColor == TColor::Blue) {
        palette.setColor(QPalette::WindowText, Qt::blue);
    }
    if (c.Color == TColor::Menu) {
        palette.setColor(widget->inherits("QLineEdit") ? QPalette::Base : QPalette::Window,
                         MenuColor());
    }
    widget->setPalette(palette);
    if (c.Color == TColor::BtnFace && qobject_cast<QLabel*>(widget)) {
        // A label paints its own background, so the credit label can be lit.
        widget->setAutoFillBackground(true);
        palette.setColor(QPalette::Window,
                         widget->parentWidget()->palette().color(QPalette::Window));
        widget->setPalette(palette);
    }
}

}  // namespace

void BuildForm(QWidget& form, const TFormDescription& d) {
    form.setObjectName(Name(d.Name));
    form.setWindowTitle(FromCp932(d.Caption));
    form.setFont(QtFont(d.Font));

    for (const TControlDescription& c : d.Controls) {
        QWidget* parent = c.Parent.empty() ? &form : FormControl<QWidget>(form, c.Parent);
        if (c.Kind == TControlKind::ImageList) {
            auto* images = new TImageList(&form);
            images->setObjectName(Name(c.Name));
            continue;
        }
        if (c.Kind == TControlKind::PopupMenu) {
            auto* menu = new QMenu(&form);
            menu->setObjectName(Name(c.Name));
            continue;
        }
        if (c.Kind == TControlKind::MenuItem) {
            auto* action = new QAction(FromCp932(c.Caption), &form);
            action->setObjectName(Name(c.Name));
            if (c.ShortCut.Key != 0) {
                action->setShortcut(QKeySequence(
                    QKeyCombination(c.ShortCut.Ctrl ? Qt::ControlModifier : Qt::NoModifier,
                                    Qt::Key(c.ShortCut.Key))));
                // While the control that pops the menu up has the focus.
                action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
                action->setShortcutVisibleInContextMenu(true);
            }
            FormControl<QMenu>(form, c.Parent)->addAction(action);
            for (const TControlDescription& owner : d.Controls) {
                if (owner.PopupMenu == c.Parent) {
                    FormControl<QWidget>(form, owner.Name)->addAction(action);
                }
            }
            continue;
        }
        QWidget* widget = Create(d, c, parent);
        widget->setObjectName(Name(c.Name));
        if (!c.Font.Name.empty()) {
            widget->setFont(QtFont(c.Font));
        }
        if (c.Kind == TControlKind::Label) {
            widget->move(c.Bounds.Left, c.Bounds.Top);
            widget->adjustSize();
        } else {
            widget->setGeometry(c.Bounds.Left, c.Bounds.Top, c.Bounds.Width, c.Bounds.Height);
        }
        SetColors(widget, c);
        if (!c.Hint.empty()) {
            widget->setToolTip(FromCp932(c.Hint));
        }
        if (c.HandPoint) {
            widget->setCursor(Qt::PointingHandCursor);
        }
    }

    const std::vector<const TControlDescription*> chain = TabChain(d);
    for (size_t i = 0; i + 1 < chain.size(); ++i) {
        QWidget::setTabOrder(FormControl<QWidget>(form, chain[i]->Name),
                             FormControl<QWidget>(form, chain[i + 1]->Name));
    }
}

void PlaceForm(QWidget& form, const TFormDescription& d) {
    if (d.MinWidth > 0 || d.MinHeight > 0) {
        form.setMinimumSize(d.MinWidth, d.MinHeight);
    }
    form.move(d.Bounds.Left, d.Bounds.Top);
    form.resize(d.Bounds.Width, d.Bounds.Height);
}
