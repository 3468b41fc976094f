#include "RunningProgram.h"

#include "Person.h"

#include "counter/CounterWindow.h"
#include "settings/Switches.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QTest>
#include <QUrl>
#include <algorithm>

RunningProgram::RunningProgram(LocalPlatform& platform, const QStringList& switches, Dialogs* boxes)
    : m_platform(platform)
{
    m_folder = m_work.path() + u'/';
    platform.preparework(m_work.path());
    // Tickets and sheets go to PDF files there instead of the preview.
    qputenv("QUILBA_PRINT_DIR", QFile::encodeName(m_work.path() + QStringLiteral("/imprimes")));
    QDir(m_work.path()).mkdir(QStringLiteral("imprimes"));
    program = std::make_unique<Program>(Switches(QStringList{QStringLiteral("quilba")} + switches),
                                        boxes ? *boxes : dialogs, shell, m_clock);
    sent(); // what start-up sent is not the test's
}

RunningProgram::~RunningProgram() = default;

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

void RunningProgram::scan(const QString& card)
{
    QLineEdit* search = window().search();
    QTest::mouseClick(search, Qt::LeftButton);
    QTest::keyClick(search, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(search, card);
    QTest::keyClick(search, Qt::Key_Return);
    QCoreApplication::processEvents();
}

QByteArrayList RunningProgram::sent()
{
    const QJsonDocument journal =
        QJsonDocument::fromJson(m_platform.admin("GET", QStringLiteral("journal?after=") + QString::number(m_journalseen)));
    QByteArrayList bodies;
    for (const QJsonValue entry : journal.object().value(QStringLiteral("entries")).toArray()) {
        const QJsonObject request = entry.toObject();
        m_journalseen = std::max(m_journalseen, request.value(QStringLiteral("seq")).toInteger());
        QByteArray body = QByteArray::fromBase64(request.value(QStringLiteral("body_base64")).toString().toLatin1());
        const bool form = request.value(QStringLiteral("method")).toString() == QStringLiteral("POST");
        if (form)
            body = QByteArray::fromPercentEncoding(body.replace('+', ' '));
        if (body.startsWith("json_data="))
            body = body.mid(10);
        bodies.append(body.trimmed());
    }
    return bodies;
}
