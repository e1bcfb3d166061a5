#include "AppSetup.h"

#include <QCoreApplication>
#include <QFont>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <cstdio>
#include <memory>

#include "AltKeyRouter.h"
#include "Transfert.h"

void setUpApplication() {
    // Where "MS Sans Serif" is missing, a sans serif of about its widths keeps
    // the layout's texts inside their fields; then the platform's own.
    QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"),
                               {QStringLiteral("Liberation Sans"), QStringLiteral("Arial")});
}

void routeAltKeys(QCoreApplication& app, Tmodul& window) {
    app.installEventFilter(window.altKeyRouter());
}

bool reportMissingDisplay(const char* program) {
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        std::fprintf(stderr,
                     "%s : aucun écran (DISPLAY et WAYLAND_DISPLAY sont vides) ; "
                     "lancez-le depuis une session graphique.\n",
                     program);
        return true;
    }
#endif
    (void)program;
    return false;
}

bool installFrenchQtTexts(QCoreApplication& app) {
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(QLocale(QLocale::French, QLocale::France), QStringLiteral("qtbase"),
                          QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        return false;
    }
    translator->setParent(&app);  // the application owns it from here
    return QCoreApplication::installTranslator(translator.release());
}
