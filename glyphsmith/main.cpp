#include <QApplication>
#include <QDir>

#include "Form1.h"
#include "ProgramSetup.h"
#include "QtSeams.h"

int main(int argc, char* argv[]) {
    if (reportMissingDisplay("glyphsmith")) {
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
