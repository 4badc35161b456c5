// Checks that a Qt window draws its form description.
#pragma once

#include <QWidget>

#include "ui/FormDescription.h"

// Every control found by its name as objectName at its design bounds (the
// edges its anchors pin, for those the layout moves; labels at their place,
// sized to their text), with its caption, font, hint and tab order.
void ExpectDrawnAsDescribed(const QWidget& form, const TFormDescription& design);
