// A request that waits for the platform: shown after half a second, abandoned with Escape or a
// click on the button, and nothing typed or clicked meanwhile acts.
#include "LocalPlatform.h"
#include "Person.h"
#include "RunningProgram.h"

#include "api/CounterClient.h"
#include "api/ReplyBuffer.h"
#include "app/WaitIndicator.h"
#include "counter/CounterState.h"
#include "counter/CounterWindow.h"
#include "members/EnrolmentForm.h"
#include "members/Lookup.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>

using namespace Qt::StringLiterals;

class TestWaitPlatform : public QObject
{
    Q_OBJECT
private slots:
    void waitIsShownAndAbandoned_data()
    {
        QTest::addColumn<bool>("button");
        QTest::newRow("Échap") << false;
        QTest::newRow("Abandonner") << true;
    }
    // The lookup's reply stalls: after a second the bar says so; keys typed and a click on another
    // button are dropped; Escape or a click on "Abandonner" (through the window, as the display
    // gives it) ends the wait with its own message, the window as it was, the keyboard where it was.
    void waitIsShownAndAbandoned()
    {
        QFETCH(bool, button);
        LocalPlatform platform;
        QVERIFY2(platform.started(), qPrintable(platform.error()));
        RunningProgram counter(platform);
        counter.show();
        platform.admin("POST", u"faults"_s, R"({"action":"stall","path":"/apiv1/"})");

        QString shown;
        bool cursor = false;
        bool acted = false;
        QTimer::singleShot(1600, [&] {
            acted = true;
            auto* bar = counter.window().findChild<QFrame*>(u"attenteplateforme"_s);
            if (!bar || !bar->isVisible())
                return;
            shown = bar->findChild<QLabel*>(u"attentetexte"_s)->text();
            cursor =
                QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::BusyCursor;
            // Typed or clicked while waiting: dropped, never replayed into the search field.
            Person::type(u"999"_s);
            Person::click(counter.window().findChild<QToolButton*>(u"ToolButton1"_s));
            if (button)
                Person::click(bar->findChild<QPushButton*>(u"abandonner"_s));
            else
                Person::press(Qt::Key_Escape);
        });
        counter.search(u"1010001"_s);

        QVERIFY(acted);
        QCOMPARE(shown, WaitIndicator::text(1000));
        QVERIFY(cursor);
        QCOMPARE(counter.dialogs.texts(),
                 QStringList{u"Attente abandonnée : la plateforme n'avait pas encore répondu."_s});
        QCOMPARE(counter.window().search()->text(), u"1010001"_s);
        QCOMPARE(Person::focus(), counter.window().search());
        QVERIFY(!counter.program->formmember().isVisible());
        QVERIFY(counter.window().state().idle());
        QVERIFY(!QApplication::overrideCursor());
        auto* bar = counter.window().findChild<QFrame*>(u"attenteplateforme"_s);
        QVERIFY(!bar || !bar->isVisible());

        // The platform answers again: the same search goes through.
        platform.admin("DELETE", u"faults"_s);
        counter.search(u"1010001"_s);
        QCOMPARE(counter.dialogs.texts().size(), 1);
        QVERIFY(!counter.window().state().idle());
    }

    // A reply still coming in when the whole request has taken its limit ends as a failure that
    // says so, even though bytes arrived and the stall limit was never reached.
    void slowReplyEndsAtTheOverallLimit()
    {
        LocalPlatform platform;
        QVERIFY2(platform.started(), qPrintable(platform.error()));
        ReplyBuffer buffer;
        CounterClient client(buffer, [&platform] { return platform.apiurl(); });
        client.client().setcustomheaders({{"Authorization", LocalPlatform::demoauthorization()}});
        client.client().setoveralltimeout(1);
        platform.admin("POST", u"faults"_s,
                       R"({"action":"stall","stall_ms":3000,"finish":true,"path":"/apiv1/"})");

        const HttpReply reply =
            client.postform(Lookup::requestline(u"1010001"_s, LocalPlatform::demoidpharma()));
        QVERIFY(!reply.ok);
        QVERIFY(reply.sent);
        QCOMPARE(reply.failure, u"La plateforme n'a pas fini de répondre en 1 s."_s);

        // Without the fault, the same client gets its reply.
        QVERIFY(client.postform(Lookup::requestline(u"1010001"_s, LocalPlatform::demoidpharma())).ok);
    }
};

QTEST_MAIN(TestWaitPlatform)
#include "tst_wait_platform.moc"
