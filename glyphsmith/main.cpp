#include <QApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <cstdio>
#include <memory>

#include "Form1.h"
#include "QtSeams.h"

namespace {

// Qt aborts in its platform plugin without a screen: one French line instead.
bool reportMissingDisplay() {
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        std::fputs(
            "glyphsmith : aucun écran (DISPLAY et WAYLAND_DISPLAY sont vides) ; "
            "lancez-le depuis une session graphique.\n",
            stderr);
        return true;
    }
#endif
    return false;
}

// The font and file dialogs in French like the window, whatever the locale.
void installFrenchQtTexts(QApplication& app) {
    auto translator = std::make_unique<QTranslator>();
    if (translator->load(QLocale(QLocale::French, QLocale::France), QStringLiteral("qtbase"),
                         QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        translator->setParent(&app);
        QCoreApplication::installTranslator(translator.release());
    }
}

}  // namespace

int main(int argc, char* argv[]) {
    if (reportMissingDisplay()) {
        return 1;
    }
    QApplication app(argc, argv);
    installFrenchQtTexts(app);
    glyph::QtFontChooser fonts;
    glyph::QtMessages messages;
    glyph::QtClipboard clipboard;
    glyph::QtTableChooser tables;
    Form1 form({fonts, messages, clipboard, tables, QCoreApplication::applicationDirPath(),
                QDir::currentPath()});
    fonts.setParent(&form);
    tables.setParent(&form);
    messages.setParent(&form);
    form.show();
    return app.exec();
}
