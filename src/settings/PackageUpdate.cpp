#include "settings/PackageUpdate.h"

using namespace Qt::Literals::StringLiterals;

QString PackageUpdate::repository(const QString& urlupdate)
{
    QString base = urlupdate;
    while (base.endsWith(u'/'))
        base.chop(1);
    return base + u"/debian"_s;
}

QStringList PackageUpdate::arguments(const QString& urlupdate, const QString& version)
{
    return {repository(urlupdate), version};
}

int PackageUpdate::progress(QByteArrayView line)
{
    constexpr QByteArrayView kprefix("progression ");
    if (!line.startsWith(kprefix))
        return -1;
    const QByteArrayView number = line.sliced(kprefix.size());
    if (number.isEmpty() || number.size() > 3)
        return -1;
    int value = 0;
    for (const char c : number) {
        if (c < '0' || c > '9')
            return -1;
        value = value * 10 + (c - '0');
    }
    return value <= 100 ? value : -1;
}

QString PackageUpdate::message(const UpdateRun& run, const QString& version)
{
    const QString refused = u"La mise à jour n'a pas été installée : "_s;
    switch (run.ended) {
    case UpdateRun::Ended::Declined:
        return {};
    case UpdateRun::Ended::NotAuthorised:
        return refused + u"le système ne l'a pas autorisée."_s;
    case UpdateRun::Ended::NoElevation:
        return refused + u"ce poste n'a pas pkexec, qui demande l'accord d'un administrateur "
                         u"(paquet pkexec)."_s;
    case UpdateRun::Ended::NoInstaller:
        return refused + u"le programme d'installation de Quilba est introuvable "
                         u"(réinstallez le paquet quilba)."_s;
    case UpdateRun::Ended::Broken:
        break;
    case UpdateRun::Ended::Finished:
        switch (run.code) {
        case Installed:
            return u"La version "_s + version +
                   u" de Quilba est installée : elle s'ouvrira au prochain démarrage du programme."_s;
        case Unreachable:
            return refused + u"le dépôt de mise à jour de Quilba ne répond pas."_s;
        case Unsigned:
            return refused + u"le dépôt de mise à jour n'est pas signé par la clé de Quilba."_s;
        case NoSuchVersion:
            return refused + u"la version "_s + version + u" n'est pas dans le dépôt de mise à jour."_s;
        case NotFetched:
            return refused + u"le paquet de la version "_s + version +
                   u" n'a pas été reçu tel que le dépôt signé de Quilba le décrit."_s;
        case NotInstalled:
            return refused + u"le système a refusé de l'installer (dépendances manquantes ou "
                             u"autre installation en cours)."_s;
        default:
            break;
        }
        break;
    }
    return refused + u"le programme d'installation de Quilba s'est arrêté sur une erreur."_s;
}
