#include "RunningProgram.h"

#include "Person.h"

#include "counter/CounterWindow.h"
#include "members/EnrolmentForm.h"
#include "settings/Switches.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <algorithm>

RunningProgram::RunningProgram(LocalPlatform& platform, const QStringList& switches, Dialogs* boxes,
                               const QString& workfolder)
    : m_platform(platform)
{
    const QString folder = QDir(workfolder.isEmpty() ? m_work.path() : workfolder).absolutePath();
    m_folder = folder + u'/';
    platform.preparework(folder);
    // Tickets and sheets go to PDF files there instead of the preview.
    qputenv("QUILBA_PRINT_DIR", QFile::encodeName(folder + QStringLiteral("/imprimes")));
    QDir(folder).mkdir(QStringLiteral("imprimes"));
    program = std::make_unique<Program>(Switches(QStringList{QStringLiteral("quilba")} + switches),
                                        boxes ? *boxes : dialogs, shell, m_clock);
    if (platform.running())
        sent(); // what start-up sent is not the test's
}

RunningProgram::~RunningProgram()
{
    // The program goes first, while its clock and work folder are still there.
    program.reset();
}

CounterWindow& RunningProgram::window()
{
    return program->counterwindow();
}

void RunningProgram::show()
{
    window().show();
    window().activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window()));
}

void RunningProgram::search(const QString& text)
{
    Person::submit(window().search(), text);
}

QString RunningProgram::label(const char* name)
{
    return window().findChild<QLabel*>(QString::fromLatin1(name))->text();
}

void RunningProgram::onform(std::function<void(EnrolmentForm&)> fill)
{
    EnrolmentForm& form = program->formmember();
    const int call = ++*m_fills;
    Person::whenshown(&form, [&form, fill, fills = m_fills, call] {
        if (*fills == call)
            fill(form);
    });
}

QJsonArray RunningProgram::journal()
{
    const QJsonDocument answer = QJsonDocument::fromJson(
        m_platform.admin("GET", QStringLiteral("journal?after=") + QString::number(m_journalseen)));
    const QJsonArray entries = answer.object().value(QStringLiteral("entries")).toArray();
    for (const QJsonValue entry : entries)
        m_journalseen = std::max(m_journalseen, entry.toObject().value(QStringLiteral("seq")).toInteger());
    return entries;
}

QByteArrayList RunningProgram::sent()
{
    QByteArrayList bodies;
    for (const QJsonValue entry : journal()) {
        const QJsonObject request = entry.toObject();
        QByteArray body =
            QByteArray::fromBase64(request.value(QStringLiteral("body_base64")).toString().toLatin1());
        const bool form = request.value(QStringLiteral("method")).toString() == QStringLiteral("POST");
        if (form)
            body = QByteArray::fromPercentEncoding(body.replace('+', ' '));
        if (body.startsWith("json_data="))
            body = body.mid(10);
        bodies.append(body.trimmed());
    }
    return bodies;
}
