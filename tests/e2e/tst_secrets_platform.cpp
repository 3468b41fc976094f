#include "LocalPlatform.h"
#include "RecordingShell.h"
#include "ScriptedDialogs.h"

#include "app/LogWindow.h"
#include "app/Program.h"
#include "counter/CounterState.h"
#include "counter/CounterWindow.h"
#include "members/EnrolmentForm.h"
#include "platform/Clock.h"
#include "settings/ParametersWindow.h"
#include "settings/Switches.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <memory>

#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

const QString kapikey = u"CLE-Zq7-secrete"_s;
const QString klogin = u"guichet-Zq7"_s;
const QString kpassword = u"mdp-Zq7-2024"_s;
const QString kwrongpassword = u"mdp-Zq7-faux"_s;

QByteArray basic(const QString& password)
{
    return (kapikey + u';' + klogin + u':' + password).toLatin1().toBase64();
}

QByteArray readall(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

int modeof(const QString& path)
{
    struct stat info;
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 07777) : -1;
}

// The secrets found in a text: every one of them, and the Authorization values built from them.
QStringList secretsin(const QByteArray& text)
{
    QStringList found;
    for (const QString& secret : {kapikey, klogin, kpassword, kwrongpassword}) {
        if (text.contains(secret.toUtf8()))
            found.append(secret);
    }
    for (const QByteArray& value : {basic(kpassword), basic(kwrongpassword)}) {
        if (text.contains(value))
            found.append(QString::fromLatin1(value));
    }
    return found;
}

} // namespace

// A whole session with the log window and the log file on, through successes, a platform refusal,
// a server failure and refused credentials: the API key, the login, the password and the
// Authorization value never show in the log file, the log window or any message, and the files the
// program creates are for its owner and group only.
class TestSecretsPlatform : public QObject
{
    Q_OBJECT
private slots:
    void secretsStayOutOfSight()
    {
        LocalPlatform platform(
            {u"--account"_s, kapikey + u',' + klogin + u',' + kpassword + u",101,Pharmacie du Centre"_s});
        QVERIFY2(platform.started(), qPrintable(platform.error()));
        QTemporaryDir work;
        platform.preparework(work.path());
        const QString ini = QDir(work.path()).filePath(u"quilba.ini"_s);
        QFile settings(ini);
        QVERIFY(settings.open(QIODevice::WriteOnly | QIODevice::Truncate));
        settings.write((u"[connexion]\nAPIKEY="_s + kapikey + u"\nLOGIN="_s + klogin + u"\nPWD="_s +
                        kpassword + u"\nIDPHARMA=101\nURL="_s + platform.apiurl() + u"\n"_s)
                           .toUtf8());
        settings.close();

        ScriptedDialogs dialogs;
        RecordingShell shell;
        SystemClock clock;
        Program program(Switches({u"quilba"_s, u"-debug"_s, u"-log"_s}), dialogs, shell, clock);
        CounterWindow& window = program.counterwindow();
        const QString log = QDir(work.path()).filePath(u"quilba.log"_s);
        QCOMPARE(modeof(log), 0660);

        // A lookup, a saved modification and a sale.
        window.setsearchtext(u"1010001"_s);
        window.btsearchClick();
        QVERIFY2(!window.state().idle(), qPrintable(dialogs.texts().join(u'|')));
        const auto modify = [&](const QString& mobile) {
            QTimer::singleShot(0, &program, [&program, mobile] {
                EnrolmentForm& form = program.formmember();
                form.findChild<QLineEdit*>(u"edmobile"_s)->setText(mobile);
                form.validate();
                if (form.isVisible())
                    form.reject();
            });
            window.findChild<QToolButton*>(u"ToolButton2"_s)->click();
        };
        modify(u"0611223344"_s);
        window.addpoint()->setText(u"12,5"_s);
        window.btnadd()->click();
        QVERIFY2(dialogs.texts().isEmpty(), qPrintable(dialogs.texts().join(u'|')));

        // A refusal of the platform (the card of another member), then a server failure.
        QTimer::singleShot(0, &program, [&program] {
            EnrolmentForm& form = program.formmember();
            form.findChild<QLineEdit*>(u"edcardnumber"_s)->setText(u"1010002"_s);
            form.validate();
            if (form.isVisible())
                form.reject();
        });
        window.findChild<QToolButton*>(u"ToolButton2"_s)->click();
        platform.admin(
            "POST", u"faults"_s,
            R"({"action":"status","status_line":"HTTP/1.1 500 Internal Server Error","body":"panne"})");
        modify(u"0655667788"_s);

        // A wrong password validated in the parameters window: the platform answers 401.
        ParametersWindow& parameters = program.parameterswindow();
        QTimer::singleShot(0, &parameters, [&parameters] {
            parameters.findChild<QLineEdit*>(u"edpwd"_s)->setText(kwrongpassword);
            parameters.validate();
            if (parameters.isVisible())
                parameters.reject();
        });
        parameters.exec();
        QCOMPARE(modeof(ini) & 0007, 0);
        window.setsearchtext(u"1010003"_s);
        window.btsearchClick();

        QCOMPARE(dialogs.texts().size(), 4);
        QVERIFY2(dialogs.texts().at(0).startsWith(u"Erreur : "_s), qPrintable(dialogs.texts().at(0)));
        QCOMPARE(dialogs.texts().at(1), u"Erreur technique : HTTP/1.1 500 Internal Server Error"_s);
        QVERIFY2(dialogs.texts().at(3).contains(u"401"_s), qPrintable(dialogs.texts().join(u'|')));
        QVERIFY2(QFile::exists(log) && !readall(log).isEmpty(), "the log holds the saves");

        const QByteArray logged = readall(log);
        QVERIFY2(secretsin(logged).isEmpty(), qPrintable(secretsin(logged).join(u", "_s)));
        const QString memo = program.logwindow().findChild<QPlainTextEdit*>(u"Memo1"_s)->toPlainText();
        QVERIFY(!memo.isEmpty());
        QVERIFY2(secretsin(memo.toUtf8()).isEmpty(), qPrintable(secretsin(memo.toUtf8()).join(u", "_s)));
        QVERIFY2(secretsin(program.buffer().bytes()).isEmpty(), "the reply buffer");
        for (const QString& text : dialogs.texts())
            QVERIFY2(secretsin(text.toUtf8()).isEmpty(), qPrintable(text));
    }
};

QTEST_MAIN(TestSecretsPlatform)
#include "tst_secrets_platform.moc"
