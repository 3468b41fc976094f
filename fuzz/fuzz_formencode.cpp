// The form encoding of a form post: the body holds only letters, digits, "*-._", "+", "%XX" with
// upper-case hexadecimal and the one "=" of the line, and decodes back to the line's UTF-8 text.
#include "FuzzCheck.h"

#include "api/HttpClient.h"

#include <cstdint>
#include <cstring>

namespace {

int hexvalue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

QByteArray decode(const QByteArray& encoded)
{
    QByteArray out;
    for (qsizetype i = 0; i < encoded.size(); ++i) {
        const char c = encoded[i];
        if (c == '+') {
            out.append(' ');
        } else if (c == '%') {
            FUZZ_CHECK(i + 2 < encoded.size());
            const int high = hexvalue(encoded[i + 1]);
            const int low = hexvalue(encoded[i + 2]);
            FUZZ_CHECK(high >= 0 && low >= 0);
            out.append(static_cast<char>(high * 16 + low));
            i += 2;
        } else {
            const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                               c == '*' || c == '-' || c == '.' || c == '_';
            FUZZ_CHECK(plain);
            out.append(c);
        }
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // The input as UTF-16 code units, so that lone surrogates are tried too.
    QString line(static_cast<qsizetype>(size / 2), Qt::Uninitialized);
    std::memcpy(line.data(), data, size / 2 * sizeof(char16_t));
    const QByteArray body = HttpClient::formencode(line);

    const qsizetype equals = line.indexOf(u'=');
    const qsizetype bodyequals = body.indexOf('=');
    FUZZ_CHECK((equals < 0) == (bodyequals < 0));
    if (equals < 0) {
        FUZZ_CHECK(decode(body) == line.toUtf8());
    } else {
        FUZZ_CHECK(body.indexOf('=', bodyequals + 1) < 0);
        FUZZ_CHECK(decode(body.left(bodyequals)) == line.left(equals).toUtf8());
        FUZZ_CHECK(decode(body.mid(bodyequals + 1)) == line.mid(equals + 1).toUtf8());
    }
    return 0;
}
