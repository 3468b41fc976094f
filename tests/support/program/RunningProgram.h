#pragma once

#include "LocalPlatform.h"
#include "RecordingShell.h"
#include "ScriptedDialogs.h"

#include "app/Program.h"
#include "platform/Clock.h"

#include <QByteArrayList>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

class CounterWindow;

// The whole program started on a work folder whose settings point at a local platform, with its
// message boxes answered by a script and web pages recorded instead of opened. Nothing is shown
// until show() is called. Tickets and sheets are written as PDF files into the work folder.
class RunningProgram final
{
public:
    // Switches beside the program name, as "-nocoupon". Message boxes go to `boxes` when given
    // (real ones, say), else to the scripted `dialogs`.
    explicit RunningProgram(LocalPlatform& platform, const QStringList& switches = {},
                            Dialogs* boxes = nullptr);
    ~RunningProgram();
    RunningProgram(const RunningProgram&) = delete;
    RunningProgram& operator=(const RunningProgram&) = delete;

    CounterWindow& window();
    // Shows the counter window and waits until it has the keyboard.
    void show();
    // Types the card number into the search field and presses Enter, as a pharmacist scanning.
    void scan(const QString& card);
    // The bodies of the requests the platform received since the last call, form-decoded
    // ("json_data=" dropped), in order.
    QByteArrayList sent();
    const QString& workfolder() const { return m_folder; }

    ScriptedDialogs dialogs;
    RecordingShell shell;
    std::unique_ptr<Program> program;

private:
    LocalPlatform& m_platform;
    QTemporaryDir m_work;
    QString m_folder;
    SystemClock m_clock;
    qint64 m_journalseen = 0;
};
