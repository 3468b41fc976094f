#pragma once

#include "CaptureServer.h"

#include "api/Connection.h"
#include "api/CounterClient.h"
#include "api/ReplyBuffer.h"

#include <memory>

class LogFile;

// The connection holder as start-up wires it, on a capture server: it and the counter client
// share the reply buffer (holding its designed first text) and the counter client's credentials
// header. The exchanges go to `log` when one is given.
class ConnectionRig final
{
public:
    explicit ConnectionRig(LogFile* log = nullptr);

    CaptureServer server;
    ReplyBuffer buffer;
    CounterClient counter;
    std::unique_ptr<Connection> connexion;
};
