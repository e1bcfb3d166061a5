#include "PanelTexts.h"

#include "SystemErrors.h"

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

QString lockProblemText(const LockProblem& problem) {
    QString reason;
    switch (problem.why) {
        case LockProblem::Why::System:
            reason = systemErrorReason(problem.error);
            break;
        case LockProblem::Why::OthersFolder:
            reason = QStringLiteral("dossier d'un autre utilisateur");
            break;
        case LockProblem::Why::OpenFolder:
            reason = QStringLiteral("dossier où d'autres utilisateurs peuvent écrire");
            break;
        case LockProblem::Why::NotAFile:
            reason = QStringLiteral("ce n'est pas un fichier ordinaire");
            break;
    }
    return QStringLiteral("verrou du panneau inutilisable : %1 (%2)").arg(problem.path, reason);
}

}  // namespace paneltext
