#include "CaptureServer.h"
#include "Person.h"
#include "RecordingShell.h"
#include "ScriptedDialogs.h"
#include "SmallDisk.h"
#include "TestFiles.h"
#include "api/CounterClient.h"
#include "api/ReplyBuffer.h"
#include "settings/ParametersWindow.h"
#include "settings/Settings.h"
#include "settings/SettingsSession.h"
#include "settings/Updater.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <memory>

namespace {

const QString kconnexionmissing = QStringLiteral("Vous devez renseigner les parametres de connexion");
const QString kallzones = QStringLiteral("Vous devez renseigner toutes les zones");
const QString knotcomplete =
    QStringLiteral("Les parametres ne sont pas complets - l'application ne peut pas fonctionner");

const QStringList kedits = {
    QStringLiteral("edapikey"),    QStringLiteral("edcodepharmacie"), QStringLiteral("edlogin"),
    QStringLiteral("edpwd"),       QStringLiteral("edurladelya"),     QStringLiteral("libellepharma"),
    QStringLiteral("adrpharma"),   QStringLiteral("adr2pharma"),      QStringLiteral("cppharma"),
    QStringLiteral("villepharma"),
};

// One parameters window on its session, with the settings, scripted dialogs, the counter client
// that takes the Authorization header, and an update server on loopback that counts the checks
// (its empty reply is no version: nothing is offered).
struct Fixture
{
    explicit Fixture(const QString& workdir)
    {
        qputenv("QUILBA_WORKDIR", workdir.toUtf8());
        qputenv("QUILBA_UPDATE_URL", update.url(QStringLiteral("/updatequilba")).toUtf8());
        window = std::make_unique<ParametersWindow>(session);
    }
    ~Fixture()
    {
        qunsetenv("QUILBA_WORKDIR");
        qunsetenv("QUILBA_UPDATE_URL");
    }

    // The Authorization header of the counter client; empty while it has none.
    QByteArray authorization() const
    {
        const HttpHeaders& headers = counter.customheaders();
        return headers.empty() ? QByteArray() : headers.front().second;
    }
    qsizetype updatechecks() const { return update.requests().size(); }

    QLineEdit* edit(const QString& name) const { return window->findChild<QLineEdit*>(name); }
    QPushButton* button(const QString& name) const { return window->findChild<QPushButton*>(name); }
    bool masked() const
    {
        return edit(QStringLiteral("edapikey"))->echoMode() == QLineEdit::Password &&
               edit(QStringLiteral("edlogin"))->echoMode() == QLineEdit::Password &&
               edit(QStringLiteral("edpwd"))->echoMode() == QLineEdit::Password;
    }
    bool unmasked() const
    {
        return edit(QStringLiteral("edapikey"))->echoMode() == QLineEdit::Normal &&
               edit(QStringLiteral("edlogin"))->echoMode() == QLineEdit::Normal &&
               edit(QStringLiteral("edpwd"))->echoMode() == QLineEdit::Normal;
    }
    void type(const QString& name, const QString& text) const
    {
        QLineEdit* box = edit(name);
        Person::click(box);
        Person::press(Qt::Key_A, Qt::ControlModifier);
        Person::press(Qt::Key_Delete);
        // QTest types ASCII only; other characters are inserted as an input method would.
        const bool ascii = std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 128; });
        if (ascii)
            Person::type(text);
        else
            box->insert(text);
    }
    void click(const QString& name) const { Person::click(button(name)); }

    // Runs `during` once the window's modal loop is running, and closes the window if `during`
    // left it open, so that a failed check cannot hang the test.
    void whenmodal(const std::function<void()>& during)
    {
        QTimer::singleShot(0, window.get(), [this, during] {
            during();
            if (window->isVisible())
                window->reject();
        });
    }

    CaptureServer update;
    Settings settings;
    ScriptedDialogs dialogs;
    ReplyBuffer buffer;
    RecordingShell shell;
    HttpClient counter{CounterClient::profile()};
    Updater updater{settings, buffer, dialogs, shell, counter};
    SettingsSession session{{settings, dialogs, counter, &updater}};
    std::unique_ptr<ParametersWindow> window;
};

void writecomplete(const QString& folder)
{
    Settings held(folder);
    Settings::Values values;
    values.apikey = QStringLiteral("cle");
    values.login = QStringLiteral("pharma");
    values.password = QStringLiteral("secret");
    values.idpharma = QStringLiteral("P42");
    values.url = QStringLiteral("https://127.0.0.1:8443/apiv1/webapi.do");
    values.villepharma = QStringLiteral("Agde");
    QVERIFY(held.write(values));
}

} // namespace

class TestParametersWindow : public QObject
{
    Q_OBJECT
private slots:
    void controlsAndNames()
    {
        QTemporaryDir dir;
        Fixture f(dir.path());
        ParametersWindow& w = *f.window;
        QCOMPARE(w.objectName(), QStringLiteral("formparams"));
        QCOMPARE(w.windowTitle(), QStringLiteral("Saisie des Paramètres"));
        QCOMPARE(w.size(), QSize(416, 341));
        QVERIFY(!(w.windowFlags() & Qt::WindowCloseButtonHint));
        QVERIFY(w.windowFlags() & Qt::WindowMinimizeButtonHint);
        QVERIFY(w.windowFlags() & Qt::WindowMaximizeButtonHint);

        const QStringList labels = {
            QStringLiteral("API Key :"),     QStringLiteral("Identifiant pharmacie :"),
            QStringLiteral("login :"),       QStringLiteral("Mot de passe :"),
            QStringLiteral("URL Adélya :"),  QStringLiteral("Libellé Phamarcie :"),
            QStringLiteral("Adresse : "),    QString(),
            QStringLiteral("Code postal :"), QStringLiteral("Ville"),
        };
        for (int i = 0; i < kedits.size(); ++i) {
            QLineEdit* box = f.edit(kedits.at(i));
            QVERIFY2(box, qPrintable(kedits.at(i)));
            QString label;
            for (const QLabel* l : w.findChildren<QLabel*>()) {
                if (l->buddy() == box)
                    label = l->text();
            }
            QCOMPARE(label, labels.at(i));
            QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(box);
            QVERIFY(accessible);
            QVERIFY2(!accessible->text(QAccessible::Name).isEmpty(), qPrintable(kedits.at(i)));
            if (!label.isEmpty())
                QCOMPARE(accessible->text(QAccessible::Name), label);
        }
        QVERIFY(!f.edit(QStringLiteral("edurladelya"))->isEnabled());
        QCOMPARE(f.edit(QStringLiteral("cppharma"))->width(), 43);
        QVERIFY(f.masked());

        QCOMPARE(f.button(QStringLiteral("Button1"))->text(), QStringLiteral("Valider"));
        QCOMPARE(f.button(QStringLiteral("Button2"))->text(), QStringLiteral("Annuler"));
        auto* progress = w.findChild<QProgressBar*>(QStringLiteral("ProgressBar1"));
        QVERIFY(progress);
        QCOMPARE(w.progressbar(), progress);
        QVERIFY(progress->isHidden());
        const QList<QWidget*> others = {progress, f.button(QStringLiteral("Button1")),
                                        f.button(QStringLiteral("Button2"))};
        for (QWidget* control : others) {
            QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(control);
            QVERIFY(accessible);
            QVERIFY2(!accessible->text(QAccessible::Name).isEmpty(), qPrintable(control->objectName()));
        }

        // Tab order: the boxes as listed, then "Valider", then "Annuler".
        QStringList chain;
        QWidget* next = f.edit(QStringLiteral("edapikey"));
        do {
            if (next->focusPolicy() & Qt::TabFocus)
                chain.append(next->objectName());
            next = next->nextInFocusChain();
        } while (next != f.edit(QStringLiteral("edapikey")) && chain.size() < 20);
        QCOMPARE(chain, (kedits + QStringList{QStringLiteral("Button1"), QStringLiteral("Button2")}));

        // Digits only in the postal code, typed into the window shown.
        w.show();
        f.type(QStringLiteral("cppharma"), QStringLiteral("34a5-00"));
        QCOMPARE(f.edit(QStringLiteral("cppharma"))->text(), QStringLiteral("34500"));
    }

    void startWithoutSettingsAsksAndValidates()
    {
        QTemporaryDir dir;
        Fixture f(dir.path());
        bool sawmodal = false;
        f.whenmodal([&] {
            QVERIFY(f.window->isVisible());
            QCOMPARE(QApplication::activeModalWidget(), f.window.get());
            QCOMPARE(f.dialogs.texts(), QStringList{kconnexionmissing});
            QVERIFY(f.unmasked());
            QCOMPARE(f.edit(QStringLiteral("edurladelya"))->text(), Settings::defaulturl());
            sawmodal = true;
            // Escape does not close the window behind the buttons' back.
            Person::press(Qt::Key_Escape);
            QVERIFY(f.window->isVisible());
            // Typed as is: blanks are kept.
            f.type(QStringLiteral("edapikey"), QStringLiteral(" cle "));
            f.type(QStringLiteral("edcodepharmacie"), QStringLiteral("P42"));
            f.type(QStringLiteral("edlogin"), QStringLiteral("zoé"));
            f.type(QStringLiteral("edpwd"), QStringLiteral("a;b:c"));
            f.click(QStringLiteral("Button1"));
        });
        f.window->formcreate();
        QVERIFY(sawmodal);
        QVERIFY(!f.window->isVisible());
        QVERIFY(!f.session.endrequested());
        QCOMPARE(f.dialogs.texts(), QStringList{kconnexionmissing});
        QVERIFY(f.masked());

        QCOMPARE(f.settings.applicationdata(), dir.path() + u'/');
        QCOMPARE(filledlines(dir.filePath(QStringLiteral("quilba.ini"))),
                 "[connexion]\nAPIKEY=\" cle \"\nLOGIN=zo\xC3\xA9\nPWD=a;b:c\nIDPHARMA=P42\nURL=" +
                     Settings::defaulturl().toUtf8() +
                     "\n[pharmacie]\nlibelle=\nadresse=\nadresse2=\ncp=\nville=");
        QCOMPARE(f.settings.apikey(), QStringLiteral(" cle "));
        QCOMPARE(f.settings.getpharmacie(), QStringList(5, QString()));
        // The header from the validated values; no update check after an entry at start.
        QCOMPARE(f.updatechecks(), 0);
        QCOMPARE(f.authorization(), "Basic " + QByteArray(" cle ;zo\xE9:a;b:c").toBase64());
    }

    void validerNeedsTheFourBoxes_data()
    {
        QTest::addColumn<QString>("empty");
        QTest::newRow("api key") << QStringLiteral("edapikey");
        QTest::newRow("pharmacy id") << QStringLiteral("edcodepharmacie");
        QTest::newRow("password") << QStringLiteral("edpwd");
        QTest::newRow("login") << QStringLiteral("edlogin");
    }
    void validerNeedsTheFourBoxes()
    {
        QFETCH(QString, empty);
        QTemporaryDir dir;
        Fixture f(dir.path());
        f.whenmodal([&] {
            for (const QString& name :
                 {QStringLiteral("edapikey"), QStringLiteral("edcodepharmacie"), QStringLiteral("edpwd"),
                  QStringLiteral("edlogin"), QStringLiteral("libellepharma")})
                f.type(name, name == empty ? QString() : QStringLiteral("x"));
            f.click(QStringLiteral("Button1"));
            QVERIFY(f.window->isVisible());
            QCOMPARE(f.dialogs.texts(), (QStringList{kconnexionmissing, kallzones}));
            QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("quilba.ini"))));
            QVERIFY(!f.settings.complete());
            QVERIFY(f.settings.getpharmacie().at(0).isEmpty());
            QVERIFY(f.authorization().isEmpty());
            f.click(QStringLiteral("Button2"));
        });
        f.window->formcreate();
        QVERIFY(f.session.endrequested());
        QCOMPARE(f.updatechecks(), 0);
    }

    // The settings file keeps one line per value: a value pasted with a line break is refused
    // before anything is stored, so the held values, the file and the header stay as they were.
    void lineBreaksAreRefused_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("text");
        QTest::newRow("password ending with a line break")
            << QStringLiteral("edpwd") << QStringLiteral("secret\n");
        QTest::newRow("api key with CR LF") << QStringLiteral("edapikey") << QStringLiteral("cle\r\nX-A: 1");
        QTest::newRow("town with CR") << QStringLiteral("villepharma") << QStringLiteral("Agde\rSete");
    }
    void lineBreaksAreRefused()
    {
        QFETCH(QString, box);
        QFETCH(QString, text);
        QTemporaryDir dir;
        writecomplete(dir.path());
        const QByteArray before = readfile(dir.filePath(QStringLiteral("quilba.ini")));
        Fixture f(dir.path());
        f.window->formcreate();
        const QByteArray held = f.authorization();
        QCOMPARE(held, "Basic " + QByteArray("cle;pharma:secret").toBase64());
        f.whenmodal([&] {
            QGuiApplication::clipboard()->setText(text);
            f.edit(box)->selectAll();
            f.edit(box)->paste();
            QCOMPARE(f.edit(box)->text(), text);
            f.click(QStringLiteral("Button1"));
            QVERIFY(f.window->isVisible());
            QCOMPARE(f.dialogs.texts(),
                     QStringList{QStringLiteral("Les paramètres ne doivent pas contenir de saut de ligne")});
            QCOMPARE(f.window->focusWidget(), f.edit(box));
            f.click(QStringLiteral("Button2"));
        });
        f.window->exec();
        QCOMPARE(readfile(dir.filePath(QStringLiteral("quilba.ini"))), before);
        QCOMPARE(f.authorization(), held);
        QCOMPARE(f.settings.password(), QStringLiteral("secret"));
    }

    void annulerAtStartEndsEvenWhenFilled()
    {
        QTemporaryDir dir;
        Fixture f(dir.path());
        QSignalSpy ended(&f.session, &SettingsSession::endapplication);
        f.whenmodal([&] {
            for (const QString& name : kedits)
                f.type(name, QStringLiteral("1"));
            f.click(QStringLiteral("Button2"));
        });
        f.window->formcreate();
        QVERIFY(!f.window->isVisible());
        QCOMPARE(f.dialogs.texts(), (QStringList{kconnexionmissing, knotcomplete}));
        QVERIFY(f.session.endrequested());
        QCOMPARE(ended.count(), 1);
        QVERIFY(f.authorization().isEmpty());
        QCOMPARE(f.updatechecks(), 0);
        QVERIFY(!f.settings.complete());
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("quilba.ini"))));
    }

    void urlEmptyStartsButCannotCancel()
    {
        QTemporaryDir dir;
        QFile ini(dir.filePath(QStringLiteral("quilba.ini")));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write("[connexion]\nAPIKEY=k\nLOGIN=l\nPWD=p\nIDPHARMA=i\nURL=\n");
        ini.close();
        Fixture f(dir.path());
        f.window->formcreate();
        QVERIFY(!f.window->isVisible());
        QVERIFY(f.dialogs.texts().isEmpty());
        QCOMPARE(f.authorization(), "Basic " + QByteArray("k;l:p").toBase64());
        QCOMPARE(f.updatechecks(), 1);

        f.whenmodal([&] { f.click(QStringLiteral("Button2")); });
        f.window->exec();
        QCOMPARE(f.dialogs.texts(), QStringList{knotcomplete});
        QVERIFY(f.session.endrequested());
    }

    void annulerWithCompleteSettingsKeepsHeldValues()
    {
        QTemporaryDir dir;
        writecomplete(dir.path());
        const QByteArray file = readfile(dir.filePath(QStringLiteral("quilba.ini")));
        Fixture f(dir.path());
        f.window->formcreate();
        QVERIFY(!f.window->isVisible());
        QVERIFY(f.dialogs.texts().isEmpty());
        QCOMPARE(f.updatechecks(), 1);
        const QByteArray held = "Basic " + QByteArray("cle;pharma:secret").toBase64();
        QCOMPARE(f.counter.customheaders(), (HttpHeaders{{"Authorization", held}}));

        f.whenmodal([&] {
            QVERIFY(f.masked());
            QCOMPARE(f.edit(QStringLiteral("villepharma"))->text(), QStringLiteral("Agde"));
            f.type(QStringLiteral("edapikey"), QStringLiteral("autre"));
            f.type(QStringLiteral("edlogin"), QStringLiteral("autre"));
            f.click(QStringLiteral("Button2"));
        });
        f.window->exec();
        QVERIFY(!f.session.endrequested());
        QVERIFY(f.dialogs.texts().isEmpty());
        QCOMPARE(f.settings.apikey(), QStringLiteral("cle"));
        QCOMPARE(f.settings.authorizationvalue(), held);
        QCOMPARE(f.authorization(), held);
        QCOMPARE(f.updatechecks(), 1);
        QCOMPARE(readfile(dir.filePath(QStringLiteral("quilba.ini"))), file);
        // The boxes are not reset: they show what was typed when the window opens again.
        QCOMPARE(f.edit(QStringLiteral("edapikey"))->text(), QStringLiteral("autre"));
    }

    void workFolderThatCannotBeCreated()
    {
        QTemporaryDir dir;
        QFile blocker(dir.filePath(QStringLiteral("fichier")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        const QString folder = dir.filePath(QStringLiteral("fichier/Quilba"));
        Fixture f(folder);
        f.whenmodal([&] { f.click(QStringLiteral("Button2")); });
        f.window->formcreate();
        QCOMPARE(f.dialogs.texts(),
                 (QStringList{QStringLiteral("Impossible de créer le répertoire de travail"),
                              kconnexionmissing, knotcomplete}));
        QCOMPARE(f.settings.applicationdata(), folder + u'/');
    }

    void unreadableAndUnwritableFile()
    {
        QTemporaryDir dir;
        // A folder where the settings file should be: it can be neither read nor written.
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("quilba.ini")));
        Fixture f(dir.path());
        f.whenmodal([&] {
            for (const QString& name : {QStringLiteral("edapikey"), QStringLiteral("edcodepharmacie"),
                                        QStringLiteral("edpwd"), QStringLiteral("edlogin")})
                f.type(name, QStringLiteral("x"));
            f.click(QStringLiteral("Button1"));
        });
        f.window->formcreate();
        QCOMPARE(f.dialogs.shown().size(), 3);
        QCOMPARE(f.dialogs.texts().mid(0, 2),
                 (QStringList{QStringLiteral("Erreur en lecture des parametres"), kconnexionmissing}));
        // Validation that could not be saved says so; the values hold for this run.
        QCOMPARE(f.dialogs.shown().at(2).kind, QStringLiteral("exception"));
        QVERIFY(f.dialogs.shown().at(2).text.startsWith(
            QStringLiteral("Impossible d'enregistrer les paramètres")));
        QVERIFY(!f.window->isVisible());
        QVERIFY(f.settings.complete());
        QCOMPARE(f.authorization(), "Basic " + QByteArray("x;x:x").toBase64());
        QCOMPARE(f.updatechecks(), 0);
    }

    // Valider when the file cannot take the new values: the old bytes stay (a link's target is not
    // touched), the user is told why in French, and the typed values hold for the run.
    void validerThatCannotSave_data()
    {
        QTest::addColumn<bool>("link");
        QTest::addColumn<QString>("reason");
        QTest::newRow("disk full") << false << QStringLiteral("Plus de place sur le disque.");
        QTest::newRow("link planted")
            << true
            << QStringLiteral(
                   "Le fichier est un lien symbolique : par sécurité, il n'est ni suivi ni remplacé.");
    }
    void validerThatCannotSave()
    {
        QFETCH(bool, link);
        QFETCH(QString, reason);
        SmallDisk disk;
        QTemporaryDir dir;
        QTemporaryDir elsewhere;
        QString folder = dir.path();
        QString holder;
        if (link) {
            writecomplete(elsewhere.path());
            holder = elsewhere.filePath(QStringLiteral("quilba.ini"));
            QVERIFY(QFile::link(holder, dir.filePath(QStringLiteral("quilba.ini"))));
        } else {
            if (!disk.ok())
                QSKIP(qPrintable(disk.reason()));
            folder = disk.path();
            writecomplete(folder);
            holder = disk.filePath(QStringLiteral("quilba.ini"));
            QVERIFY(disk.fill());
        }
        const QByteArray before = readfile(holder);
        Fixture f(folder);
        f.window->formcreate();
        f.whenmodal([&] {
            f.type(QStringLiteral("edpwd"), QStringLiteral("nouveau"));
            f.click(QStringLiteral("Button1"));
        });
        f.window->exec();

        const QString ini = QDir::toNativeSeparators(folder + QStringLiteral("/quilba.ini"));
        QCOMPARE(f.dialogs.shown().size(), 1);
        QCOMPARE(f.dialogs.shown().at(0).kind, QStringLiteral("exception"));
        QCOMPARE(f.dialogs.shown().at(0).text,
                 QStringLiteral("Impossible d'enregistrer les paramètres dans « ") + ini +
                     QStringLiteral(" ».\n") + reason +
                     QStringLiteral(
                         "\nLes paramètres saisis restent utilisés jusqu'à la fermeture du programme."));
        QCOMPARE(readfile(holder), before);
        QCOMPARE(QFileInfo(folder + QStringLiteral("/quilba.ini")).isSymLink(), link);
        QVERIFY(!f.window->isVisible());
        QCOMPARE(f.settings.password(), QStringLiteral("nouveau"));
        QCOMPARE(f.authorization(), "Basic " + QByteArray("cle;pharma:nouveau").toBase64());
    }

    // The credentials are hidden behind "#", one per character, until Ctrl+Shift+D.
    void credentialsMaskedWithHash()
    {
        QTemporaryDir dir;
        writecomplete(dir.path());
        Fixture f(dir.path());
        f.window->formcreate();
        f.window->show();
        f.type(QStringLiteral("edpwd"), QStringLiteral("mot2passe"));
        QCOMPARE(f.edit(QStringLiteral("edpwd"))->displayText(), QStringLiteral("#########"));
        QCOMPARE(f.edit(QStringLiteral("edapikey"))->displayText(), QStringLiteral("###"));
        QCOMPARE(f.edit(QStringLiteral("edlogin"))->displayText(), QStringLiteral("######"));
        QCOMPARE(f.edit(QStringLiteral("edcodepharmacie"))->displayText(), QStringLiteral("P42"));
        Person::press(Qt::Key_D, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(f.edit(QStringLiteral("edpwd"))->displayText(), QStringLiteral("mot2passe"));
        f.window->reject();
        QCOMPARE(f.edit(QStringLiteral("edpwd"))->displayText(), QStringLiteral("#########"));
    }

    void ctrlShiftDUnmasks_data()
    {
        QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
        QTest::addColumn<bool>("unmasks");
        QTest::newRow("ctrl+shift") << Qt::KeyboardModifiers(Qt::ControlModifier | Qt::ShiftModifier) << true;
        QTest::newRow("ctrl+alt+shift")
            << Qt::KeyboardModifiers(Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier) << false;
        QTest::newRow("shift") << Qt::KeyboardModifiers(Qt::ShiftModifier) << false;
        QTest::newRow("ctrl") << Qt::KeyboardModifiers(Qt::ControlModifier) << false;
    }
    void ctrlShiftDUnmasks()
    {
        QFETCH(Qt::KeyboardModifiers, modifiers);
        QFETCH(bool, unmasks);
        QTemporaryDir dir;
        writecomplete(dir.path());
        Fixture f(dir.path());
        f.window->formcreate();
        f.window->show();
        QVERIFY(f.masked());
        for (const QString& focused : {QStringLiteral("libellepharma"), QStringLiteral("edpwd")}) {
            Person::click(f.edit(focused));
            Person::press(Qt::Key_D, modifiers);
            QCOMPARE(f.unmasked(), unmasks);
        }
        // On a button, reached with Tab.
        for (int presses = 0; presses < 20 && Person::focus() != f.button(QStringLiteral("Button1"));
             ++presses)
            Person::press(Qt::Key_Tab);
        QCOMPARE(Person::focus(), f.button(QStringLiteral("Button1")));
        Person::press(Qt::Key_D, modifiers);
        QCOMPARE(f.unmasked(), unmasks);
        f.window->reject();
        QVERIFY(f.masked());
    }

    void keysReachTheFocusedBox()
    {
        QTemporaryDir dir;
        Fixture f(dir.path());
        f.window->show();
        QLineEdit* libelle = f.edit(QStringLiteral("libellepharma"));
        Person::click(libelle);
        Person::press(Qt::Key_D, Qt::ShiftModifier);
        Person::type(QStringLiteral("u Port"));
        QCOMPARE(libelle->text(), QStringLiteral("Du Port"));
        f.window->reject();
    }
};

QTEST_MAIN(TestParametersWindow)
#include "tst_parameterswindow.moc"
