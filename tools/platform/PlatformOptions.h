#pragma once

#include "AccountList.h"

#include <optional>
#include <string>
#include <vector>

// The command line of quilba-platform.
struct PlatformOptions
{
    std::string host = "127.0.0.1";
    int port = 0;
    std::string database = ":memory:";
    bool seed = false;
    std::vector<Account> accounts;
    std::string tlsCert;
    std::string tlsKey;
    std::string tlsMax; // "1.2" or "1.3"; empty: what OpenSSL offers
    std::string updateVersion = "1.4";
    std::string updateSetup;      // file whose bytes are served as setup.exe
    std::string updateRepository; // folder served as /updatequilba/debian/
    std::optional<std::string> now;
    bool admin = true;
    bool help = false;

    // Throws std::invalid_argument with a message naming the faulty option.
    static PlatformOptions parse(const std::vector<std::string>& args);
    static std::string usage();
};
