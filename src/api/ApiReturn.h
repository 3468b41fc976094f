#pragma once

#include <QByteArray>
#include <QString>

// The platform's reply envelope: the value of "ApiReturn".
struct ApiReturn
{
    QString code;
    QString message;
    QString errorMessage;
    QString errorCode;
    QString id;

    bool ok() const { return code == QStringLiteral("OK"); }

    // Reads the envelope text that put returns (members read leniently: absent reads as empty).
    // Raises "Erreur Format Réponse API" when the text is not a JSON object.
    static ApiReturn fromtext(const QString& envelope);
};

// The text of a reply that is not the platform's envelope: "Erreur Format Réponse API".
QString badformatmessage();

// The one message for a refusal, chosen by "errorCode": "33", "3008", anything else.
QString envelopemessage(const ApiReturn& envelope);

// The value of the member "ApiReturn" of the reply's top object, as compact JSON text (members in
// reply order, no blanks, characters as the reply carried them, UTF-8). Raises "Erreur Format
// Réponse API" when the bytes are not one JSON document, the top value is not an object, or it
// has no member "ApiReturn".
QByteArray extractenvelope(const QByteArray& replybytes);
