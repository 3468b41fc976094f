#pragma once

#include <QRegularExpression>
#include <QString>

#include <cstdio>
#include <cstdlib>

// A property that must hold for every input: a failure ends the run as a crash, with the input
// saved by libFuzzer.
#define FUZZ_CHECK(condition)                                                                                \
    do {                                                                                                     \
        if (!(condition)) {                                                                                  \
            std::fprintf(stderr, "%s:%d: propriété non tenue : %s\n", __FILE__, __LINE__, #condition);       \
            std::abort();                                                                                    \
        }                                                                                                    \
    } while (false)

// The failures the JSON getters raise, in French.
inline bool isgetterfailure(const QString& message)
{
    static const QRegularExpression known(
        QStringLiteral("^(Valeur '.*' introuvable|'.*' n'est pas une valeur booléenne|"
                       "'.*' n'est pas une valeur en virgule flottante correcte|"
                       "La conversion de \\S+ en \\S+ n'est pas supportée)$"),
        QRegularExpression::DotMatchesEverythingOption);
    return known.match(message).hasMatch();
}
