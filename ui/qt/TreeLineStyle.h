// Connecting lines and expand buttons for the group tree, the top level
// included: styles such as Fusion draw only arrows there.
#pragma once

#include <QProxyStyle>

class TTreeLineStyle : public QProxyStyle {
  public:
    // Over the application's style.
    TTreeLineStyle();

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget = nullptr) const override;
};
