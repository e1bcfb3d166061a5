#include "PanelTexts.h"

namespace paneltext {

QString libraryLoadProblem(const LibraryLoad& load, const QString& separator) {
    const QString loading = QStringLiteral("Erreur lors du chargement de ") + load.fileName;
    switch (load.result) {
        case LibraryLoad::Result::NotFound:
            return QStringLiteral("Fichier ") + load.fileName + QStringLiteral(" introuvable");
        case LibraryLoad::Result::WillNotLoad:
            return loading + separator + load.loaderError;
        case LibraryLoad::Result::EntryPointMissing:
            return loading;
        case LibraryLoad::Result::Loaded:
            break;
    }
    return {};
}

}  // namespace paneltext
