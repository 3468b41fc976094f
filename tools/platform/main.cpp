#include "AccountList.h"
#include "Clock.h"
#include "DemoData.h"
#include "PlatformOptions.h"
#include "PlatformServer.h"
#include "Store.h"

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <pthread.h>
#include <sstream>
#include <thread>

namespace {

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("Lecture impossible : " + path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace

int main(int argc, char** argv)
{
    PlatformOptions options;
    try {
        options = PlatformOptions::parse(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const std::exception& error) {
        std::cerr << "quilba-platform : " << error.what() << "\n" << PlatformOptions::usage();
        return 2;
    }
    if (options.help) {
        std::cout << PlatformOptions::usage();
        return 0;
    }

    // SIGINT and SIGTERM are taken by a thread of their own, which stops the server.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    try {
        Clock clock;
        clock.setFixed(options.now);
        Store store(options.database);
        AccountList accounts;
        for (const auto& account : options.accounts)
            accounts.add(account);
        if (options.seed) {
            for (const auto& account : AccountList::demoAccounts())
                accounts.add(account);
            if (DemoData::seed(store, clock))
                std::cerr << "Données de démonstration chargées.\n";
        }
        if (accounts.accounts().empty())
            std::cerr << "Attention : aucun compte (--account) ; l'API refusera toutes les requêtes.\n";

        PlatformServer::Config config;
        config.host = options.host;
        config.port = options.port;
        config.tlsCert = options.tlsCert;
        config.tlsKey = options.tlsKey;
        config.tlsMax = options.tlsMax;
        config.updateVersion = options.updateVersion;
        if (!options.updateSetup.empty())
            config.setup = readFile(options.updateSetup);
        if (!options.updateRepository.empty()) {
            if (!std::filesystem::is_directory(options.updateRepository))
                throw std::runtime_error("Dossier introuvable : " + options.updateRepository);
            config.repository = options.updateRepository;
        }
        config.admin = options.admin;
        PlatformServer server(store, clock, accounts, config);
        const int port = server.bindPort();

        std::cout << "port " << port << std::endl;
        const std::string scheme = server.isTls() ? "https" : "http";
        const std::string base = scheme + "://" + options.host + ":" + std::to_string(port);
        std::cerr << "API : " << base << PlatformServer::kApiPath << "\n"
                  << "Mises à jour : " << base << "/updatequilba\n"
                  << "Opérateur : " << base << PlatformServer::kOperatorPath << "?rcg=QUILBA\n";
        for (const auto& account : accounts.accounts())
            std::cerr << "Compte " << account.name << " : APIKEY=" << account.apikey
                      << " LOGIN=" << account.login << " PWD=" << account.password
                      << " IDPHARMA=" << account.group << "\n";

        std::thread signals([&server, stopSignals] {
            int received = 0;
            sigwait(&stopSignals, &received);
            server.shutdown();
        });
        signals.detach();
        server.run();
        return 0;
    } catch (const std::exception& error) {
        std::cerr << "quilba-platform : " << error.what() << "\n";
        return 1;
    }
}
