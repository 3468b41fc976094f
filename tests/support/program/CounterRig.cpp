#include "CounterRig.h"

#include "Person.h"

#include "counter/CounterWindow.h"
#include "data/MemoryTable.h"
#include "members/MemberChoiceDialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QTest>

CounterRig::CounterRig(const QStringList& switches, const QString& idpharma)
    : m_switches(QStringList{QStringLiteral("quilba")} + switches), m_settings(m_work.path() + u'/'),
      m_client(m_buffer, [this] { return m_settings.url(); })
{
    Settings::Values values;
    values.apikey = QStringLiteral("cle");
    values.login = QStringLiteral("pharma");
    values.password = QStringLiteral("secret");
    values.idpharma = idpharma;
    values.url = server.url(QStringLiteral("/apiv1/webapi.do"));
    m_settings.write(values);
    m_settings.setauthorization(m_client.client());
    window = std::make_unique<CounterWindow>(
        CounterWindow::Context{m_client, m_buffer, m_settings, dialogs, shell, m_clock, m_switches});
    choice = std::make_unique<MemberChoiceDialog>(m_dm.listeMembre(), window.get());
    window->setchoixmembre(choice.get());
    window->show();
    // In front with the keyboard, as the counter is when the pharmacist starts.
    window->activateWindow();
    (void)QTest::qWaitForWindowActive(window.get());
}

CounterRig::~CounterRig()
{
    // The window and its dialog go first, while what they work with is still there.
    choice.reset();
    window.reset();
}

QLabel* CounterRig::label(const char* name) const
{
    return get<QLabel>(name);
}

void CounterRig::search(const QString& text)
{
    Person::submit(window->search(), text);
}

QStringList CounterRig::requestlines() const
{
    QStringList lines;
    for (const QByteArray& request : server.requests()) {
        QByteArray body = CaptureServer::bodyof(request);
        lines.append(QString::fromUtf8(QByteArray::fromPercentEncoding(body.replace('+', ' '))));
    }
    return lines;
}

QByteArrayList CounterRig::methods() const
{
    QByteArrayList out;
    for (const QByteArray& request : server.requests())
        out.append(request.left(request.indexOf(' ')));
    return out;
}

MemoryTable& CounterRig::listeMembre()
{
    return m_dm.listeMembre();
}
