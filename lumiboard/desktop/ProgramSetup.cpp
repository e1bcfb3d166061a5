#include "ProgramSetup.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <cstdio>
#include <memory>

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
