#pragma once

#include "CaptureServer.h"
#include "FixedClock.h"
#include "RecordingShell.h"
#include "ScriptedDialogs.h"

#include "api/CounterClient.h"
#include "api/ReplyBuffer.h"
#include "counter/CounterWindow.h"
#include "data/DataModule.h"
#include "settings/Settings.h"
#include "settings/Switches.h"

#include <QByteArrayList>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

class MemberChoiceDialog;
class MemoryTable;
class QLabel;

// The counter window alone with what it works with, as start-up wires it: settings on a work
// folder of its own pointing at a capture server, the counter client sending their credentials,
// the choice dialog, scripted message boxes, recorded web pages and a fixed clock. The
// window is shown. This is the one place a test builds a counter window; a test that needs
// readings of its own derives from it.
class CounterRig
{
public:
    // Switches beside the program name, as "-nocoupon"; the pharmacy's number in the settings.
    explicit CounterRig(const QStringList& switches = {}, const QString& idpharma = QStringLiteral("42"));
    ~CounterRig();
    CounterRig(const CounterRig&) = delete;
    CounterRig& operator=(const CounterRig&) = delete;

    template <typename T> T* get(const char* name) const
    {
        return window->findChild<T*>(QString::fromLatin1(name));
    }
    QLabel* label(const char* name) const;
    // Types the text over the search field and presses Enter.
    void search(const QString& text);
    // The form line of every request received, decoded.
    QStringList requestlines() const;
    // The method of every request received.
    QByteArrayList methods() const;
    MemoryTable& listeMembre();
    ReplyBuffer& buffer() { return m_buffer; }

    CaptureServer server;
    ScriptedDialogs dialogs;
    RecordingShell shell;
    std::unique_ptr<CounterWindow> window;
    std::unique_ptr<MemberChoiceDialog> choice;

private:
    QTemporaryDir m_work;
    Switches m_switches;
    FixedClock m_clock;
    ReplyBuffer m_buffer;
    Settings m_settings;
    CounterClient m_client;
    DataModule m_dm;
};
