#include "ui/qt/TreeLineStyle.h"

#include <QPainter>
#include <QStyleOption>

TTreeLineStyle::TTreeLineStyle() : QProxyStyle(nullptr) {}

void TTreeLineStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option,
                                   QPainter* painter, const QWidget* widget) const {
    if (element != PE_IndicatorBranch) {
        QProxyStyle::drawPrimitive(element, option, painter, widget);
        return;
    }
    const QRect r = option->rect;
    const int midX = r.x() + r.width() / 2;
    const int midY = r.y() + r.height() / 2;
    const QStyle::State state = option->state;

    painter->save();
    QPen dotted(option->palette.color(QPalette::Dark), 1, Qt::DotLine);
    painter->setPen(dotted);
    if (state & State_Item) {
        // This row's own column: up to the row, across to it, and on down
        // when a sibling follows.
        painter->drawLine(midX, r.top(), midX, (state & State_Sibling) ? r.bottom() : midY);
        painter->drawLine(midX, midY, r.right(), midY);
    } else if (state & State_Sibling) {
        // An ancestor's column: the line runs past to a later sibling.
        painter->drawLine(midX, r.top(), midX, r.bottom());
    }
    if (state & State_Children) {
        // A 9 x 9 box with a minus when open, a plus when closed.
        const QRect box(midX - 4, midY - 4, 8, 8);
        painter->setPen(QPen(option->palette.color(QPalette::Dark), 1));
        painter->setBrush(option->palette.color(QPalette::Base));
        painter->drawRect(box);
        painter->setPen(QPen(option->palette.color(QPalette::Text), 1));
        painter->drawLine(box.left() + 2, midY, box.right() - 2, midY);
        if (!(state & State_Open)) {
            painter->drawLine(midX, box.top() + 2, midX, box.bottom() - 2);
        }
    }
    painter->restore();
}
