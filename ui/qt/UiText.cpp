#include "ui/qt/UiText.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDesktopServices>
#include <QFile>
#include <QFontDatabase>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QStringList>
#include <QStyle>
#include <QUrl>

#include "core/Encoding.h"

QString FromCp932(std::string_view cp932) {
    const std::string utf8 = Cp932ToUtf8(cp932);
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string ToCp932(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    return Utf8ToCp932(std::string_view(utf8.constData(), static_cast<size_t>(utf8.size())));
}

std::filesystem::path QtPath(const QString& path) {
    return std::filesystem::path(QFile::encodeName(path).toStdString());
}

bool OpenUrlOnDesktop(const std::string& url) {
    const QUrl qurl = QUrl::fromEncoded(QByteArray::fromStdString(url), QUrl::StrictMode);
    return qurl.isValid() && QDesktopServices::openUrl(qurl);
}

QColor MenuColor() {
    // What a menu of this style and palette shows; styles differ in the role
    // they paint menus with, so ask one.
    QMenu menu;
    menu.addAction(QStringLiteral("M"));
    menu.ensurePolished();
    menu.adjustSize();
    const QImage image = menu.grab().toImage();
    if (image.isNull()) {
        return QApplication::palette("QMenu").color(QPalette::Window);
    }
    return image.pixelColor(image.width() - 3, image.height() / 2);
}

namespace {

QString TextOf(const QWidget* control) {
    if (const auto* b = qobject_cast<const QAbstractButton*>(control)) {
        return b->text();
    }
    if (const auto* g = qobject_cast<const QGroupBox*>(control)) {
        return g->title();
    }
    if (const auto* l = qobject_cast<const QLabel*>(control)) {
        return l->text();
    }
    return {};
}

}  // namespace

int TextWidthNeeded(const QWidget* control) {
    const QFontMetrics metrics(control->font());
    const int text = metrics.horizontalAdvance(TextOf(control));
    const QStyle* style = control->style();
    const int frame = style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, control);
    if (qobject_cast<const QPushButton*>(control)) {
        return text + 2 * style->pixelMetric(QStyle::PM_ButtonMargin, nullptr, control) + 2 * frame;
    }
    if (qobject_cast<const QRadioButton*>(control)) {
        return text + style->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth, nullptr, control) +
               style->pixelMetric(QStyle::PM_RadioButtonLabelSpacing, nullptr, control) + 4;
    }
    if (qobject_cast<const QGroupBox*>(control)) {
        return text + 16;  // the title's indent and the frame beside it
    }
    return text;
}

void FitText(QWidget* control, int room) {
    if (room < 0) {
        room = control->width();
    }
    const auto count = TextOf(control).size();
    if (count == 0 || TextWidthNeeded(control) <= room) {
        return;
    }
    QFont font = control->font();
    for (qreal spacing = -0.125; spacing >= -0.5; spacing -= 0.125) {
        font.setLetterSpacing(QFont::AbsoluteSpacing, spacing);
        control->setFont(font);
        if (TextWidthNeeded(control) <= room) {
            return;
        }
    }
    font.setLetterSpacing(QFont::AbsoluteSpacing, 0);
    font.setPixelSize(font.pixelSize() - 1);
    control->setFont(font);
}
