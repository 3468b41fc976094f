#pragma once

#include "api/HttpClient.h"

#include <QString>

// What one write to the platform came to, read from its reply in one place for every write (sale,
// coupon use and its status update, member and child saves):
//   Recorded     an "ApiReturn" envelope whose "code" is "OK";
//   Refused      an envelope with another code: the platform read the request and said no;
//   NotRecorded  the request certainly never reached the platform: it did not leave, the access
//                was refused before the platform read it (401, 403, 407), or a proxy answered
//                with its own error page;
//   NotYetKnown  it left and no readable answer came back: the platform may have recorded it,
//                or may still be recording it. Only the platform's own record can settle it.
struct WriteResult
{
    enum class State
    {
        Recorded,
        Refused,
        NotRecorded,
        NotYetKnown,
    };

    State state = State::NotYetKnown;
    // Refused: the envelope's "code", "errorCode" and "errorMessage".
    QString code;
    QString errorCode;
    QString refusal;
    // Recorded: the envelope's "id", the identifier of what was created or changed.
    QString id;
    // The whole envelope text, when the reply held one.
    QString envelope;
    // NotRecorded: the access was refused (401, 403, 407); the status is in `status`.
    bool denied = false;
    int status = 0;
    // NotYetKnown: the platform itself answered (a whole reply that is not an OK envelope), so it
    // has finished with the request: what its record says from now on is final. False when the
    // transfer ended without the platform's answer (abandoned, stalled, cut, a gateway's 502, 503
    // or 504), while the platform may still be processing it.
    bool processingOver = false;

    bool recorded() const { return state == State::Recorded; }
    // The request never left: the write may be kept and sent later as it is.
    bool neverLeft() const { return state == State::NotRecorded && !denied; }

    static WriteResult read(const HttpReply& reply);
};
