#pragma once

#include "LocalPlatform.h"
#include "RecordingShell.h"
#include "ScriptedDialogs.h"

#include "app/Program.h"
#include "platform/Clock.h"

#include <QByteArrayList>
#include <QJsonArray>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <memory>

class CounterWindow;
class EnrolmentForm;

// The whole program started on a work folder whose settings point at a local platform, with its
// message boxes answered by a script and web pages recorded instead of opened. Nothing is shown
// until show() is called. Tickets and sheets are written as PDF files into the work folder.
// A test that needs readings of its own derives from it.
class RunningProgram
{
public:
    // Switches beside the program name, as "-nocoupon". Message boxes go to `boxes` when given
    // (real ones, say), else to the scripted `dialogs`. The work folder is a temporary one of its
    // own unless `folder` names one that outlives the program (the program started again, or a
    // second counter sharing the folder).
    explicit RunningProgram(LocalPlatform& platform, const QStringList& switches = {},
                            Dialogs* boxes = nullptr, const QString& folder = {});
    ~RunningProgram();
    RunningProgram(const RunningProgram&) = delete;
    RunningProgram& operator=(const RunningProgram&) = delete;

    CounterWindow& window();
    // Shows the counter window and waits until it has the keyboard.
    void show();
    // Clicks into the search field, types the text over it (a card number, a name) and presses
    // Enter, as a pharmacist does or a card reader.
    void search(const QString& text);
    // The text of a label of the counter window.
    QString label(const char* name);
    // Runs `fill` on the enrolment form once it is shown modally and has the keyboard. A later
    // call replaces a `fill` still waiting.
    void onform(std::function<void(EnrolmentForm&)> fill);
    // The bodies of the requests the platform received since the last call, form-decoded
    // ("json_data=" dropped), in order.
    QByteArrayList sent();
    // The platform's journal entries (method, path, body_base64, …) of the requests received since
    // the last call to it or to sent().
    QJsonArray journal();
    const QString& workfolder() const { return m_folder; }
    LocalPlatform& platform() { return m_platform; }

    ScriptedDialogs dialogs;
    RecordingShell shell;
    std::unique_ptr<Program> program;

private:
    LocalPlatform& m_platform;
    QTemporaryDir m_work;
    QString m_folder;
    SystemClock m_clock;
    qint64 m_journalseen = 0;
    std::shared_ptr<int> m_fills = std::make_shared<int>(0); // the onform() calls made
};
