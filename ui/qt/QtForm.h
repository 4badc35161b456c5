// Draws a form description with Qt widgets: each control created at its
// design bounds with its texts, font, colours and hint, named as designed.
#pragma once

#include <QFont>
#include <QTreeView>
#include <QWidget>
#include <string_view>

#include "ui/FormDescription.h"

class QAction;
class QMenu;

// The member list: report style; its two columns share the client width.
class TListView : public QTreeView {
    Q_OBJECT
  public:
    explicit TListView(QWidget* parent = nullptr);

  signals:
    void DoubleClicked();

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
};

// The described font: its family where installed, else an installed Japanese
// proportional gothic.
QFont QtFont(const TFontDescription& font);

// Creates every control of the description on form, in description order,
// and chains the tab order. The form's own bounds are left to PlaceForm.
void BuildForm(QWidget& form, const TFormDescription& description);

// The form's minimum size (when it has one), position and size.
void PlaceForm(QWidget& form, const TFormDescription& description);

// A control built by BuildForm, by name.
template <class T>
T* FormControl(const QWidget& form, std::string_view name) {
    return form.findChild<T*>(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
}
