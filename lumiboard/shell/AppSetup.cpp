#include "AppSetup.h"

#include <QCoreApplication>
#include <QFont>

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
