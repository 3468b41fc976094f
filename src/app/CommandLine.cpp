#include "app/CommandLine.h"

#include "counter/CounterKeys.h"

CommandLine::Request CommandLine::request(const QStringList& arguments)
{
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        if (argument == u"--version")
            return Request::Version;
        if (argument == u"--help" || argument == u"-h" || argument == u"-?" || argument == u"/?")
            return Request::Help;
    }
    return Request::Run;
}

QStringList CommandLine::arguments(int argc, const char* const* argv)
{
    QStringList result;
    result.reserve(argc);
    for (int i = 0; i < argc; ++i)
        result.append(QString::fromLocal8Bit(argv[i]));
    return result;
}

QString CommandLine::versiontext(const QString& version)
{
    return QStringLiteral("Quilba ") + version + u'\n';
}

QString CommandLine::helptext()
{
    const QString options = QStringLiteral(
        "Utilisation : quilba [-debug] [-log] [-kestrel] [-nocoupon]\n"
        "\n"
        "Quilba, le programme du comptoir de la pharmacie pour la carte de fidélité.\n"
        "\n"
        "Options (précédées de « - » ou de « / », en majuscules ou en minuscules) :\n"
        "  -debug       affiche la fenêtre de journal : chaque requête et chaque réponse\n"
        "  -log         ajoute chaque enregistrement de membre et d'enfant, avec la réponse\n"
        "               de la plateforme, au fichier quilba.log du dossier de travail\n"
        "  -kestrel     passe par le proxy HTTP fixe du groupement (port 8080)\n"
        "  -nocoupon    ne demande pas les coupons du membre après une recherche\n"
        "  --version    affiche la version et s'arrête\n"
        "  --help, -h   affiche cette aide et s'arrête\n"
        "\n"
        "Variables d'environnement :\n"
        "  QUILBA_WORKDIR     dossier de travail à utiliser au lieu de /var/lib/Quilba/\n"
        "  QUILBA_PRINT_DIR   les tickets et les fiches y sont écrits en PDF au lieu d'être imprimés\n"
        "  QUILBA_UPDATE_URL  adresse des mises à jour (se termine par /updatequilba)\n"
        "\n");
    const QString folder = QStringLiteral(
        "\n"
        "Le dossier de travail contient les paramètres (quilba.ini) et le journal (quilba.log).\n"
        "Les membres du groupe quilba peuvent écrire dans /var/lib/Quilba/.\n");
    return options + CounterKeys::helptext() + folder;
}
