#include "LocalPlatform.h"
#include "Person.h"
#include "RecordingShell.h"
#include "ScriptedDialogs.h"

#include "api/Connection.h"
#include "app/Program.h"
#include "counter/CounterState.h"
#include "counter/CounterWindow.h"
#include "members/Member.h"
#include "members/MemberSession.h"
#include "platform/Clock.h"
#include "settings/ParametersWindow.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

using namespace Qt::Literals::StringLiterals;

// The pharmacist corrects the password in PARAMETRES during the run: every client of the platform
// sends the new credentials at once, the connection holder's member saves included.
class TestCredentialsPlatform : public QObject
{
    Q_OBJECT
private slots:
    void correctedPasswordReachesTheMemberSave()
    {
        LocalPlatform platform;
        QVERIFY2(platform.started(), qPrintable(platform.error()));
        QTemporaryDir work;
        platform.preparework(work.path());
        // The settings file holds an old password.
        QFile ini(QDir(work.path()).filePath(u"quilba.ini"_s));
        QVERIFY(ini.open(QIODevice::ReadOnly));
        QByteArray text = ini.readAll();
        ini.close();
        text.replace(QByteArray("PWD=" + LocalPlatform::demopassword().toUtf8()), "PWD=ancien");
        QVERIFY(ini.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ini.write(text);
        ini.close();

        ScriptedDialogs dialogs;
        RecordingShell shell;
        SystemClock clock;
        Program program(Switches({u"quilba"_s}), dialogs, shell, clock);
        dialogs.clear();
        CounterWindow& counter = program.counterwindow();

        // PARAMETRES, the right password typed, Valider.
        bool shown = false;
        Person::whenmodal<ParametersWindow>([&](ParametersWindow* window) {
            shown = true;
            auto* pwd = window->findChild<QLineEdit*>(u"edpwd"_s);
            Person::click(pwd);
            Person::press(Qt::Key_A, Qt::ControlModifier);
            Person::press(Qt::Key_Delete);
            Person::type(LocalPlatform::demopassword());
            Person::click(window->findChild<QPushButton*>(u"Button1"_s));
        });
        Person::click(counter.findChild<QToolButton*>(u"ToolButton5"_s));
        QVERIFY(shown);
        QCOMPARE(dialogs.texts(), QStringList());

        // The lookup of the counter client, then a save of the member by the connection holder.
        Person::submit(counter.search(), u"1010001"_s);
        QCOMPARE(dialogs.texts(), QStringList());
        QCOMPARE(counter.findChild<QLabel*>(u"lblnom"_s)->text(), u"MME Marie DUPONT"_s);

        Member& member = counter.state().member();
        member.charge();
        const MemberSession::Outcome outcome = program.membersession().save(member, SaveMode::Update);
        QVERIFY(outcome.saved());
        QCOMPARE(outcome.messages, QStringList());
        QCOMPARE(dialogs.texts(), QStringList());
    }
};

QTEST_MAIN(TestCredentialsPlatform)
#include "tst_credentials_platform.moc"
