#include "SystemErrors.h"

#include <cerrno>

QString systemErrorReason(int error) {
    switch (error) {
        case 0:
            return QStringLiteral("cause non précisée par le système");
        case ENOENT:
            return QStringLiteral("fichier ou dossier introuvable");
        case EACCES:
        case EPERM:
            return QStringLiteral("permission refusée");
        case EISDIR:
            return QStringLiteral("c'est un dossier");
        case ENOTDIR:
            return QStringLiteral("un élément du chemin n'est pas un dossier");
        case ENOSPC:
            return QStringLiteral("disque plein");
#ifdef EDQUOT
        case EDQUOT:
            return QStringLiteral("quota de disque dépassé");
#endif
        case EROFS:
            return QStringLiteral("système de fichiers en lecture seule");
        case EFBIG:
            return QStringLiteral("fichier trop grand pour la limite du système");
        case EIO:
            return QStringLiteral("erreur d'entrée-sortie");
        case ENAMETOOLONG:
            return QStringLiteral("nom de fichier trop long");
        case ELOOP:
            return QStringLiteral("trop de liens symboliques dans le chemin");
        case EMFILE:
        case ENFILE:
            return QStringLiteral("trop de fichiers ouverts");
        case ENOMEM:
            return QStringLiteral("mémoire insuffisante");
        case ENXIO:
        case ENODEV:
            return QStringLiteral("périphérique absent");
        case EPIPE:
            return QStringLiteral("liaison coupée (canal bloqué ou fermé)");
        case EOVERFLOW:
            return QStringLiteral("réponse plus longue que prévu");
        case EINTR:
            return QStringLiteral("appel interrompu");
        case ENOTSUP:
            return QStringLiteral("opération non prise en charge");
        case ECONNREFUSED:
            return QStringLiteral("connexion refusée");
        case ECONNRESET:
            return QStringLiteral("connexion interrompue par l'autre côté");
        case EAGAIN:
            return QStringLiteral("ressource momentanément indisponible");
        case ETIMEDOUT:
            return QStringLiteral("délai dépassé");
        case EBUSY:
            return QStringLiteral("ressource occupée");
        case EINVAL:
            return QStringLiteral("paramètre incorrect");
        case EBADF:
            return QStringLiteral("descripteur de fichier incorrect");
        default:
            // Rare enough to need no words of its own: its number says which.
            return QStringLiteral("erreur du système n° %1").arg(error);
    }
}
