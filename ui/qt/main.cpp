// Program entry: one main window and the message loop.
#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <cstdio>
#include <cstdlib>

#include "mailclient/ComApartment.h"
#include "mailclient/DesktopMailClient.h"
#include "mailclient/MailClientChoice.h"
#include "mailclient/thunderbird/ThunderbirdMailClient.h"
#include "ui/ErrorReport.h"
#include "ui/qt/Form1Window.h"
#include "ui/qt/Form2Window.h"
#include "ui/qt/MessageBoxReport.h"
#include "ui/qt/UiText.h"

namespace {

// Qt aborts without a display; say why instead, in one line.
bool HasDisplay() {
#if defined(__linux__)
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') {
            return true;
        }
    }
    return false;
#else
    return true;
#endif
}

}  // namespace

int main(int argc, char* argv[]) {
    if (!HasDisplay()) {
        std::fputs(
            "quorvantel: 画面がありません (DISPLAY も WAYLAND_DISPLAY も設定されていません)\n",
            stderr);
        return 1;
    }

    // The COM apartment of this thread, entered before the windows and left last.
    const TComApartment comApartment;
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("quorvantel"));
    QGuiApplication::setDesktopFileName(QStringLiteral("jp.example.quorvantel"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/quorvantel/images/quorvantel.png")));

    // Qt's own texts (the folder dialog's columns, its context menu) in Japanese
    // too, when the translation is installed.
    QTranslator qtTranslator;
    if (qtTranslator.load(QLocale(QLocale::Japanese, QLocale::Japan), QStringLiteral("qtbase"),
                          QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QApplication::installTranslator(&qtTranslator);
    }

    InstallMessageBoxReporter();

    TForm1Window form;
    // The properties dialog: hidden until the first Properties command, gone with the window.
    auto* form2 = new TForm2Window(form.Form.PropertyCard, &form);
    form.Form.Form2 = &form2->Form;
    // The desktop's mailto: alone when the Thunderbird bridge can't start.
    const auto desktop = [] {
        return std::make_unique<TDesktopMailClient>(OpenUrlOnDesktop,
                                                    TDesktopMailClient::kArgumentLimit);
    };
    form.Form.SetMailClient(desktop());
    Guarded([&] {
        form.Form.SetMailClient(ChooseMailClient(
            std::make_unique<TThunderbirdMailClient>(form.EventLoop()), nullptr, desktop()));
    });
    // Closing the main window ends the program, whatever else is open.
    QObject::connect(&form, &TForm1Window::Closed, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    form.show();
    return app.exec();
}
