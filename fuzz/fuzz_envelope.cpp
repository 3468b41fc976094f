// The reply envelope of put: the "ApiReturn" value of the reply is taken out as JSON text, read
// back as an envelope and, for a refusal, turned into its one message. Every step either gives a
// value or fails with "Erreur Format Réponse API".
#include "FuzzCheck.h"

#include "api/ApiReturn.h"
#include "api/JsonValue.h"
#include "api/QuilbaError.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QString badformat = QStringLiteral("Erreur Format Réponse API");

    QByteArray envelope;
    try {
        envelope = extractenvelope(bytes);
    } catch (const QuilbaError& e) {
        FUZZ_CHECK(e.message() == badformat);
        const std::optional<JsonValue> parsed = parsejson(bytes);
        FUZZ_CHECK(!parsed || !parsed->isObject() || !parsed->find("ApiReturn"));
        return 0;
    }
    const std::optional<JsonValue> reread = parsejson(envelope);
    FUZZ_CHECK(reread.has_value());

    // put hands the envelope on as text, which the caller reads again.
    ApiReturn r;
    try {
        r = ApiReturn::fromtext(QString::fromUtf8(envelope));
    } catch (const QuilbaError& e) {
        FUZZ_CHECK(e.message() == badformat);
        FUZZ_CHECK(!reread->isObject());
        return 0;
    }
    FUZZ_CHECK(reread->isObject());
    if (!r.ok())
        FUZZ_CHECK(envelopemessage(r).startsWith(QStringLiteral("Erreur : ")));
    return 0;
}
