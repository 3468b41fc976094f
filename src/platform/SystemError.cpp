#include "platform/SystemError.h"

#include <cerrno>

using namespace Qt::Literals::StringLiterals;

namespace SystemError {

QString text(int error)
{
    switch (error) {
    case ENOSPC:
        return u"Plus de place sur le disque."_s;
    case EDQUOT:
        return u"Quota d'espace disque dépassé."_s;
    case EFBIG:
        return u"Fichier trop volumineux."_s;
    case EROFS:
        return u"Le système de fichiers est en lecture seule."_s;
    case EACCES:
        return u"Permission refusée."_s;
    case EPERM:
        return u"Opération non permise."_s;
    case ENOENT:
        return u"Fichier ou dossier introuvable."_s;
    case ENOTDIR:
        return u"Un élément du chemin n'est pas un dossier."_s;
    case EISDIR:
        return u"C'est un dossier, pas un fichier."_s;
    case ELOOP:
        return u"Le fichier est un lien symbolique : par sécurité, il n'est ni suivi ni remplacé."_s;
    case ENAMETOOLONG:
        return u"Nom de fichier trop long."_s;
    case EIO:
        return u"Erreur d'entrée-sortie du disque."_s;
    case EMFILE:
    case ENFILE:
        return u"Trop de fichiers ouverts."_s;
    case ENOMEM:
        return u"Mémoire insuffisante."_s;
    case EBUSY:
    case ETXTBSY:
        return u"Fichier occupé."_s;
    case EEXIST:
        return u"Le fichier existe déjà."_s;
    case EXDEV:
        return u"Le fichier ne peut pas être déplacé vers un autre disque."_s;
    case ESTALE:
        return u"Fichier réseau périmé."_s;
    default:
        return u"Erreur système n° %1."_s.arg(error);
    }
}

} // namespace SystemError
