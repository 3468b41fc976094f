#include "api/WriteResult.h"

#include "api/JsonGetters.h"
#include "api/JsonValue.h"
#include "api/ReplyBuffer.h"

using namespace Qt::StringLiterals;

namespace {

// A gateway's statuses: the proxy in front of the platform gave up waiting, or could not pass the
// request on; the platform behind it may be working on it still.
bool isgateway(int status)
{
    return status == 502 || status == 503 || status == 504;
}

} // namespace

WriteResult WriteResult::read(const HttpReply& reply)
{
    WriteResult result;
    result.status = reply.status;
    if (!reply.ok) {
        if (isaccessdenied(reply.status)) {
            result.state = State::NotRecorded;
            result.denied = true;
            return result;
        }
        if (!reply.sent) {
            result.state = State::NotRecorded;
            return result;
        }
        result.state = State::NotYetKnown;
        // A whole reply of the platform's own (500, 404…): its processing is over.
        result.processingOver = reply.status != 0 && !isgateway(reply.status);
        return result;
    }
    const std::optional<JsonValue> document = parsejson(ReplyBuffer::normalised(reply.body));
    const JsonValue* apireturn = document && document->isObject() ? document->find("ApiReturn") : nullptr;
    if (!apireturn || !apireturn->isObject()) {
        // The platform answered, but not with its envelope.
        result.state = State::NotYetKnown;
        result.processingOver = true;
        return result;
    }
    trygettext(*apireturn, u"code"_s, result.code);
    trygettext(*apireturn, u"errorCode"_s, result.errorCode);
    trygettext(*apireturn, u"errorMessage"_s, result.refusal);
    trygettext(*apireturn, u"id"_s, result.id);
    result.envelope = QString::fromUtf8(apireturn->tojson());
    result.state = result.code == u"OK"_s ? State::Recorded : State::Refused;
    return result;
}
