#include "ui/qt/UiText.h"

#include <QDesktopServices>
#include <QFile>
#include <QFontDatabase>
#include <QStringList>
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
#ifdef _WIN32
    return std::filesystem::path(path.toStdWString());
#else
    return std::filesystem::path(QFile::encodeName(path).toStdString());
#endif
}

bool OpenUrlOnDesktop(const std::string& url) {
    const QUrl qurl = QUrl::fromEncoded(QByteArray::fromStdString(url), QUrl::StrictMode);
    return qurl.isValid() && QDesktopServices::openUrl(qurl);
}

QFont JapaneseUiFont() {
    const QStringList installed = QFontDatabase::families();
    QFont font;
    for (const QString& family :
         {QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("MS PGothic"),
          QStringLiteral("IPAPGothic"), QStringLiteral("Noto Sans CJK JP")}) {
        if (installed.contains(family)) {
            font = QFont(family);
            break;
        }
    }
    font.setPixelSize(12);
    return font;
}
