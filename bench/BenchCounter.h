#pragma once

#include "RecordingShell.h"
#include "ScriptedDialogs.h"

#include "api/Connection.h"
#include "api/CounterClient.h"
#include "api/ReplyBuffer.h"
#include "counter/CounterSession.h"
#include "counter/CounterWindow.h"
#include "members/MemberSession.h"
#include "outbox/KeptSales.h"
#include "platform/Clock.h"
#include "settings/Settings.h"
#include "settings/Switches.h"

#include <QTemporaryDir>
#include <memory>

// What the counter works with, on the first demo pharmacy of the local platform, as start-up
// wires it: the settings pointing at `url`, the counter's client with their Authorization header,
// the connection holder that copies it, the outbox every write is noted in, the member session,
// scripted boxes.
struct BenchCounter
{
    explicit BenchCounter(const QString& url);

    // The session notes its writes in the outbox and settles the member writes at each lookup, as
    // start-up wires it.
    void wire(CounterSession& session);

    CounterSession::Context sessioncontext() { return {client, buffer, settings, dialogs, clock}; }
    CounterWindow::Context windowcontext()
    {
        return {client, buffer, settings, dialogs, shell, clock, switches};
    }

    QTemporaryDir work;
    Settings settings;
    ReplyBuffer buffer;
    CounterClient client;
    std::unique_ptr<Connection> connexion;
    ScriptedDialogs dialogs;
    SystemClock clock;
    KeptSales outbox{KeptSales::pathin(work.path()), clock};
    std::unique_ptr<MemberSession> members;
    Switches switches{QStringList{QStringLiteral("quilba")}};
    RecordingShell shell;
};
