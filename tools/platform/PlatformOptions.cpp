#include "PlatformOptions.h"

#include "Clock.h"

#include <stdexcept>

PlatformOptions PlatformOptions::parse(const std::vector<std::string>& args)
{
    PlatformOptions options;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&]() -> const std::string& {
            if (i + 1 >= args.size())
                throw std::invalid_argument("valeur manquante après " + arg);
            return args[++i];
        };
        if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--host") {
            options.host = value();
        } else if (arg == "--port") {
            const std::string& text = value();
            size_t used = 0;
            int port = -1;
            try {
                port = std::stoi(text, &used);
            } catch (const std::exception&) {
                used = 0;
            }
            if (used != text.size() || port < 0 || port > 65535)
                throw std::invalid_argument("--port : numéro de port invalide : " + text);
            options.port = port;
        } else if (arg == "--db") {
            options.database = value();
        } else if (arg == "--seed") {
            options.seed = true;
        } else if (arg == "--account") {
            const std::string& text = value();
            auto account = AccountList::parse(text);
            if (!account)
                throw std::invalid_argument("--account : apikey,login,password,idpharma[,nom] attendu : " +
                                            text);
            options.accounts.push_back(*account);
        } else if (arg == "--tls-cert") {
            options.tlsCert = value();
        } else if (arg == "--tls-key") {
            options.tlsKey = value();
        } else if (arg == "--tls-max") {
            options.tlsMax = value();
            if (options.tlsMax != "1.2" && options.tlsMax != "1.3")
                throw std::invalid_argument("--tls-max : 1.2 ou 1.3 attendu : " + options.tlsMax);
        } else if (arg == "--update-version") {
            options.updateVersion = value();
        } else if (arg == "--update-setup") {
            options.updateSetup = value();
        } else if (arg == "--update-repository") {
            options.updateRepository = value();
        } else if (arg == "--now") {
            const std::string& text = value();
            if (!Clock::isDateTime(text))
                throw std::invalid_argument("--now : \"aaaa-mm-jj hh:mm:ss\" attendu : " + text);
            options.now = text;
        } else if (arg == "--no-admin") {
            options.admin = false;
        } else {
            throw std::invalid_argument("option inconnue : " + arg);
        }
    }
    if (options.tlsCert.empty() != options.tlsKey.empty())
        throw std::invalid_argument("--tls-cert et --tls-key vont ensemble");
    if (!options.tlsMax.empty() && options.tlsCert.empty())
        throw std::invalid_argument("--tls-max demande --tls-cert et --tls-key");
    return options;
}

std::string PlatformOptions::usage()
{
    return "usage : quilba-platform [options]\n"
           "  --port N               port d'écoute (0, par défaut : un port libre) ; la première ligne\n"
           "                         écrite sur la sortie standard est \"port N\"\n"
           "  --host ADRESSE         adresse d'écoute (127.0.0.1 par défaut)\n"
           "  --db FICHIER           base SQLite (\":memory:\" par défaut : en mémoire)\n"
           "  --seed                 données de démonstration (base vide seulement) et comptes de démo\n"
           "  --account K,L,P,G[,N]  compte : clé API, identifiant, mot de passe, idpharma (groupe),\n"
           "                         nom de la pharmacie ; répétable\n"
           "  --tls-cert FICHIER     certificat PEM : HTTPS au lieu de HTTP\n"
           "  --tls-key FICHIER      clé privée PEM du certificat\n"
           "  --tls-max 1.2|1.3      version de TLS la plus haute acceptée (1.2 : comme une plateforme\n"
           "                         qui ne parle pas TLS 1.3)\n"
           "  --update-version TEXTE contenu de /updatequilba/version.html (\"1.4\" par défaut)\n"
           "  --update-setup FICHIER contenu de /updatequilba/setup.exe\n"
           "  --update-repository DOSSIER  dépôt Debian servi sous /updatequilba/debian/\n"
           "  --now \"AAAA-MM-JJ HH:MM:SS\"  horloge figée (données et tests reproductibles)\n"
           "  --no-admin             sans les commandes de test /_admin/\n";
}
