#include "SampleReplies.h"

#include <array>
#include <cstddef>
#include <cstdio>
#include <string>

namespace {

const std::array<const char*, 12> names{"MARTIN", "DUPONT", "LEFÈVRE", "MOREAU",  "GARÇON", "BERNARD",
                                        "PETIT",  "DURAND", "LÉGER",   "ROUSSEL", "FAURE",  "CHEVALIER"};
const std::array<const char*, 10> firstnames{"Paul",   "Marie", "Hélène", "François", "Chloé",
                                             "Jérôme", "Agnès", "Louis",  "Éloïse",   "Noël"};
const std::array<const char*, 6> streets{"rue de la Paix",  "place du Marché",      "avenue Jean Jaurès",
                                         "chemin des Prés", "boulevard de Sévigné", "allée des Tilleuls"};
const std::array<const char*, 5> towns{"Rennes", "Saint-Malo", "Vitré", "Fougères", "Cesson-Sévigné"};

template <std::size_t N> const char* pick(const std::array<const char*, N>& values, int n)
{
    return values.at(static_cast<std::size_t>(n) % N);
}

// A date and time of 2018 within the opening hours, "yyyy-mm-dd hh:nn:ss", stepping with n.
std::string date(int n)
{
    char text[32];
    std::snprintf(text, sizeof text, "\"2018-%02d-%02d %02d:%02d:%02d\"", n / 28 % 12 + 1, n % 28 + 1,
                  9 + n % 10, n * 7 % 60, n * 13 % 60);
    return text;
}

void address(std::string& out, int n)
{
    out += "{\"line1\":\"" + std::to_string(n % 120 + 1) + ' ' + pick(streets, n) + "\",\"zip\":\"35" +
           std::to_string(n % 900 + 100) + "\",\"town\":\"" + pick(towns, n) + "\"}";
}

void event(std::string& out, int n)
{
    switch (n % 4) {
    case 0:
        out += "{\"type\":\"addCA\",\"fvalue\":\"" + std::to_string(n % 80 + 3) + '.' +
               std::to_string(n % 10) + "\",\"sparam\":\"0" + std::to_string(n % 9 + 1) +
               "\",\"idExternal\":\"V" + std::to_string(100000 + n) + '"';
        break;
    case 1:
        out += "{\"type\":\"addPoint\",\"fvalue\":\"" + std::to_string(n % 40 + 1) + '"';
        break;
    case 2:
        out += "{\"type\":\"COUPON\",\"fvalue\":\"7.5\",\"startDate\":" + date(n) +
               ",\"endDate\":" + date(n + 150) +
               ",\"status1\":false,\"status2\":true,\"dateUpdateStatus2\":" + date(n + 3);
        break;
    default:
        out += "{\"type\":\"usedcoupon\",\"fvalue\":\"7.5\",\"comment\":\"TRK" + std::to_string(500000 + n) +
               "\",\"cause\":{\"id\":" + std::to_string(80000 + n) + '}';
        break;
    }
    out += ",\"date\":" + date(n) + '}';
}

QByteArray bytes(const std::string& text)
{
    return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

QByteArray SampleReplies::memberwithevents(int events)
{
    std::string reply =
        "{\"FidelityMember\":{\"id\":1010006,\"cardnumber\":\"2500000100060\",\"name\":\"MARTIN\","
        "\"firstname\":\"Paul\",\"gender\":\"M\",\"birthday\":\"1961-04-17\","
        "\"email\":\"paul.martin@exemple.fr\",\"emailoptin\":true,\"mobile\":\"0612345678\","
        "\"smsoptin\":false,\"tel\":\"0299123456\",\"address\":";
    address(reply, 6);
    reply += ",\"criteria\":{\"cn1\":1,\"cn2\":0,\"cn3\":2,\"cn4\":0,\"cn5\":0},\"children\":\"\","
             "\"nbPoint\":1234,"
             "\"dateUpdate\":\"2018-12-20 17:02:11\",\"actif\":true,\"group\":{\"idExternal\":\"12\"},"
             "\"event\":{\"list\":[";
    for (int n = 0; n < events; ++n) {
        if (n > 0)
            reply += ',';
        event(reply, n);
    }
    reply += "]}}}";
    return bytes(reply);
}

QByteArray SampleReplies::memberlist(int members)
{
    std::string reply = "{\"list\":[";
    for (int n = 0; n < members; ++n) {
        if (n > 0)
            reply += ',';
        reply += "{\"id\":" + std::to_string(1010000 + n) + ",\"cardnumber\":\"25" +
                 std::to_string(10000000000LL + n * 37LL) + "\",\"name\":\"" + pick(names, n / 7) +
                 "\",\"firstname\":\"" + pick(firstnames, n) +
                 "\",\"nbPoint\":" + std::to_string(n * 31 % 900) + ",\"address\":";
        address(reply, n);
        reply += '}';
    }
    reply += "]}";
    return bytes(reply);
}
