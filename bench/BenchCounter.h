#pragma once

#include "RecordingShell.h"
#include "ScriptedDialogs.h"

#include "api/Connection.h"
#include "api/CounterClient.h"
#include "api/ReplyBuffer.h"
#include "counter/CounterSession.h"
#include "counter/CounterWindow.h"
#include "platform/Clock.h"
#include "settings/Settings.h"
#include "settings/Switches.h"

#include <QTemporaryDir>
#include <memory>

// What the counter works with, on the first demo pharmacy of the local platform, as start-up
// wires it: the settings pointing at `url`, the counter's client with their Authorization header,
// the connection holder that copies it, scripted boxes.
struct BenchCounter
{
    explicit BenchCounter(const QString& url);

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
    Switches switches{QStringList{QStringLiteral("quilba")}};
    RecordingShell shell;
};
