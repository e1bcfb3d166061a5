#include "ErrnoText.h"

#include <cerrno>

std::string errnoText(int error) {
    switch (error) {
        case 0:
            return "cause non précisée par le système";
        case ENOENT:
            return "fichier ou dossier introuvable";
        case EACCES:
        case EPERM:
            return "permission refusée";
        case EISDIR:
            return "c'est un dossier";
        case ENOTDIR:
            return "un élément du chemin n'est pas un dossier";
        case ENOSPC:
            return "disque plein";
#ifdef EDQUOT
        case EDQUOT:
            return "quota de disque dépassé";
#endif
        case EROFS:
            return "système de fichiers en lecture seule";
        case EFBIG:
            return "fichier trop grand pour la limite du système";
        case EIO:
            return "erreur d'entrée-sortie";
        case ENAMETOOLONG:
            return "nom de fichier trop long";
        case ELOOP:
            return "trop de liens symboliques dans le chemin";
        case EMFILE:
        case ENFILE:
            return "trop de fichiers ouverts";
        case ENOMEM:
            return "mémoire insuffisante";
        case ENXIO:
        case ENODEV:
            return "périphérique absent";
        case EPIPE:
            return "liaison coupée (canal bloqué ou fermé)";
        case EOVERFLOW:
            return "réponse plus longue que prévu";
        case EINTR:
            return "appel interrompu";
        case ENOTSUP:
            return "opération non prise en charge";
        case ECONNREFUSED:
            return "connexion refusée";
        case ECONNRESET:
            return "connexion interrompue par l'autre côté";
        case EAGAIN:
            return "ressource momentanément indisponible";
        case ETIMEDOUT:
            return "délai dépassé";
        case EBUSY:
            return "ressource occupée";
        case EINVAL:
            return "paramètre incorrect";
        case EBADF:
            return "descripteur de fichier incorrect";
        default:
            // Rare enough to need no words of its own: its number says which.
            return "erreur du système n° " + std::to_string(error);
    }
}
