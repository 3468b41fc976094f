#include "CaptureServer.h"
#include "FixedClock.h"
#include "GridReading.h"
#include "Person.h"
#include "RecordingReportOutput.h"
#include "ScriptedDialogs.h"

#include "api/Connection.h"
#include "api/CounterClient.h"
#include "api/LogFile.h"
#include "api/ReplyBuffer.h"
#include "data/MemoryTable.h"
#include "members/ChildrenDelegate.h"
#include "members/EnrolmentForm.h"
#include "members/Member.h"
#include "members/MemberSession.h"
#include "platform/Clock.h"
#include "settings/Settings.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QTableView>
#include <QTest>
#include <QToolButton>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

// The member shown on the counter, as the lookup leaves it.
void loaded(Member& member)
{
    member.Setid(u"42"_s);
    member.Setcardnumber(u"1010001"_s);
    member.Setnom(u"DUPONT"_s);
    member.Setprenom(u"Marie"_s);
    member.Setcivilite(u"MME"_s);
    member.Setdatenaissance(u"25121980"_s);
    member.Setmobile(u"0612345678"_s);
    member.Setemail(u"marie@example.fr"_s);
    member.Setmailoptin(true);
    member.chargeadresse(u"12 rue Neuve"_s, QString(), u"69002"_s, u"Lyon"_s);
    member.Setcipara(1);
    member.Setcidiet(1);
    member.childrenadd(u"c1"_s, u"Léa"_s, u"F"_s, u"04032015"_s);
    member.childrenadd(u"c2"_s, u"Tom"_s, u"M"_s, QString());
    member.charge();
}

} // namespace

class TestEnrolmentForm : public QObject
{
    Q_OBJECT

    struct Rig
    {
        explicit Rig(LogFile* log = nullptr)
            : connexion{counter.client(), buffer, [this] { return server.url(); }, log},
              session{MemberSession::Context{connexion, counter, settings, dialogs, clock}}
        {
            form.setsession(&session);
        }
        template <typename T> T* control(const QString& name) { return form.findChild<T*>(name); }
        QLineEdit* edit(const QString& name) { return control<QLineEdit>(name); }
        void open(SaveMode mode)
        {
            form.prepare(current, mode, u"V12"_s);
            form.show();
            QApplication::setActiveWindow(&form);
            QVERIFY(QTest::qWaitForWindowActive(&form));
        }
        void valider() { Person::click(control<QToolButton>(u"SpeedButton1"_s)); }

        CaptureServer server;
        ReplyBuffer buffer;
        ScriptedDialogs dialogs;
        FixedClock clock;
        CounterClient counter{buffer, [this] { return server.url(); }};
        Connection connexion;
        Settings settings;
        MemberSession session;
        Member current;
        EnrolmentForm form{dialogs, clock};
    };

private slots:
    void createSavesNewMember()
    {
        Rig rig;
        loaded(rig.current);
        rig.open(SaveMode::Create);
        for (const char* name : {"edcardnumber", "ednom", "edprenom", "edmobile", "edmail", "edtel"})
            QVERIFY(rig.edit(QString::fromLatin1(name))->text().isEmpty());
        QCOMPARE(rig.edit(u"edcodevendeur"_s)->text(), u"V12"_s);
        QCOMPARE(rig.form.enfants().rowCount(), 0);

        Person::type(u"3312345678901"_s);
        QCOMPARE(rig.edit(u"edcardnumber"_s)->text(), u"4567890"_s);
        rig.edit(u"ednom"_s)->setText(u"DURAND"_s);
        rig.edit(u"edprenom"_s)->setText(u"Éloïse"_s);
        rig.control<QComboBox>(u"cbcivilite"_s)->setEditText(u"MME"_s);
        rig.edit(u"eddtn"_s)->setText(u"25121980"_s);
        Person::click(rig.edit(u"edmobile"_s));
        Person::type(u"06 12 34 56 78"_s);
        QCOMPARE(rig.edit(u"edmobile"_s)->text(), u"0612345678"_s);
        rig.edit(u"edmail"_s)->setText(u"e@x.fr"_s);
        rig.control<QCheckBox>(u"ckbemailin"_s)->setChecked(true);
        rig.control<QCheckBox>(u"chkbxsport"_s)->setChecked(true);
        rig.server.enqueue(CaptureServer::envelope("\"code\":\"OK\",\"id\":77"));
        rig.dialogs.clear();

        rig.valider();

        QCOMPARE(rig.server.requests().size(), 1);
        QCOMPARE(
            CaptureServer::bodyof(rig.server.requests().at(0)),
            QByteArray(
                "json_data={\"FidelityMember\" : {\"name\":\"DURAND\",\"firstname\":\"\xC3\x89lo\xC3\xAFse\","
                "\"email\":\"e@x.fr\",\"gender\":\"MME\",\"cardnumber\":\"4567890\","
                "\"mobile\":\"0612345678\",\"emailoptin\":\"true\",\"birthday\":\"1980-12-25\","
                "\"criteria\":{\"cn1\":\"0\",\"cn2\":\"0\",\"cn3\":\"1\",\"cn4\":\"0\",\"cn5\":\"0\"}}}"));
        QCOMPARE(rig.dialogs.texts(), QStringList());
        QVERIFY(rig.form.saved());
        QCOMPARE(rig.form.result(), int(QDialog::Accepted));
        QCOMPARE(rig.form.edited().Getid(), u"77"_s);
        // The counter's record is never touched by an enrolment.
        QCOMPARE(rig.current.Getnom(), u"DUPONT"_s);
    }

    void updateSendsOnlyChanges()
    {
        Rig rig;
        loaded(rig.current);
        rig.open(SaveMode::Update);
        QCOMPARE(rig.edit(u"ednom"_s)->text(), u"DUPONT"_s);
        QCOMPARE(rig.edit(u"eddtn"_s)->text(), u"25/12/1980"_s);
        QCOMPARE(rig.control<QComboBox>(u"cbcivilite"_s)->currentText(), u"MME"_s);
        QVERIFY(rig.control<QCheckBox>(u"ckbemailin"_s)->isChecked());
        QVERIFY(rig.control<QCheckBox>(u"chkbxpara"_s)->isChecked());
        QVERIFY(!rig.control<QCheckBox>(u"chkbxbebe"_s)->isChecked());
        QVERIFY(rig.control<QCheckBox>(u"chkbxdiet"_s)->isChecked());
        MemoryTable& enfants = rig.form.enfants();
        QCOMPARE(enfants.rowCount(), 2);
        QCOMPARE(enfants.value(0, u"Prénom"_s).toString(), u"Léa"_s);

        rig.edit(u"edprenom"_s)->setText(u"Marion"_s);
        // Tom is renamed but ticked for deletion: never sent. A new child is sent after the member.
        enfants.setData(enfants.index(1, 1), u"Thomas"_s);
        auto* grid = rig.control<QTableView>(u"DBGrid1"_s);
        Person::click(grid->viewport(), grid->visualRect(enfants.index(1, 0)).center());
        QCOMPARE(enfants.value(1, u"Suppression"_s).toInt(), 1);
        rig.form.insertenfant();
        enfants.setData(enfants.index(2, 1), u"Zoé"_s);
        enfants.setData(enfants.index(2, 2), u"F"_s);
        rig.server.enqueue(CaptureServer::envelope("\"code\":\"OK\",\"id\":\"42\""));
        rig.server.enqueue(CaptureServer::envelope("\"code\":\"OK\",\"id\":\"c3\""));
        rig.dialogs.clear();

        rig.valider();

        QCOMPARE(rig.dialogs.texts(), QStringList());
        QCOMPARE(rig.server.requests().size(), 2);
        QCOMPARE(
            CaptureServer::bodyof(rig.server.requests().at(0)),
            QByteArray(
                "json_data={\"FidelityMember\" : {\"id\":\"42\",\"firstname\":\"Marion\","
                "\"criteria\":{\"cn1\":\"1\",\"cn2\":\"0\",\"cn3\":\"0\",\"cn4\":\"1\",\"cn5\":\"0\"}}}"));
        const QByteArray child = CaptureServer::bodyof(rig.server.requests().at(1));
        QVERIFY2(child.contains("Zo\xC3\xA9") && !child.contains("Thomas"), child.constData());
        QVERIFY(rig.form.saved());
        QCOMPARE(rig.current.Getprenom(), u"Marion"_s);
        QCOMPARE(rig.current.Getnbenfants(), 3);
        QVERIFY(rig.current.enfant(2).delete_);
    }

    void failedSaveKeepsFormOpen()
    {
        Rig rig;
        loaded(rig.current);
        rig.open(SaveMode::Update);
        rig.edit(u"ednom"_s)->setText(u"DURAND"_s);
        rig.server.enqueue(CaptureServer::envelope("\"code\":\"KO\",\"errorCode\":3008"));
        rig.dialogs.clear();

        rig.valider();

        QCOMPARE(
            rig.dialogs.texts(),
            QStringList{
                u"Erreur : Impossible de mettre à jour la fiche, Quitter sans valider les modifications"_s});
        QVERIFY(!rig.form.saved());
        QVERIFY(rig.form.isVisible());
        QVERIFY(rig.control<QToolButton>(u"SpeedButton1"_s)->isEnabled());

        rig.server.enqueue(CaptureServer::envelope("\"code\":\"OK\",\"id\":\"42\""));
        rig.valider();
        QCOMPARE(rig.server.requests().size(), 2);
        QCOMPARE(CaptureServer::bodyof(rig.server.requests().at(1)),
                 CaptureServer::bodyof(rig.server.requests().at(0)));
        QVERIFY(rig.form.saved());
        QVERIFY(!rig.form.isVisible());
    }

    // The form shows what a save tells, each text in an information box, in the order it arose:
    // the log file's trouble at the first request, then the child the platform refused. The
    // member exists from then on, so the next "Valider" updates it instead of enrolling it again.
    void saveMessagesInOrder()
    {
        if (!QFile::exists(u"/dev/full"_s))
            QSKIP("no /dev/full on this system");
        LogFile log(u"/dev/full"_s);
        QVERIFY(log.open().isEmpty());
        Rig rig(&log);
        rig.open(SaveMode::Create);
        rig.edit(u"edcardnumber"_s)->setText(u"4567890"_s);
        rig.edit(u"ednom"_s)->setText(u"DURAND"_s);
        rig.edit(u"edprenom"_s)->setText(u"Éloïse"_s);
        rig.control<QComboBox>(u"cbcivilite"_s)->setEditText(u"MME"_s);
        rig.edit(u"eddtn"_s)->setText(u"25121980"_s);
        rig.edit(u"edmobile"_s)->setText(u"0612345678"_s);
        rig.edit(u"edmail"_s)->setText(u"e@x.fr"_s);
        rig.form.insertenfant();
        MemoryTable& enfants = rig.form.enfants();
        enfants.setData(enfants.index(0, 1), u"Zoé"_s);
        enfants.setData(enfants.index(0, 2), u"F"_s);
        rig.server.enqueue(CaptureServer::envelope("\"code\":\"OK\",\"id\":77"));
        rig.server.enqueue(
            CaptureServer::envelope("\"code\":\"KO\",\"errorMessage\":\"Enfant refus\xC3\xA9\""));
        rig.dialogs.clear();

        rig.valider();

        QCOMPARE(rig.server.requests().size(), 2);
        QCOMPARE(rig.dialogs.shown().size(), 2);
        for (const ScriptedDialogs::Shown& shown : rig.dialogs.shown())
            QCOMPARE(shown.kind, u"information"_s);
        QVERIFY(rig.dialogs.texts().at(0).contains(u"La demande a bien été reçue par la plateforme"_s));
        QCOMPARE(rig.dialogs.texts().at(1), u"Erreur : Enfant refusé"_s);
        QVERIFY(rig.form.saved());
        QVERIFY(rig.form.isVisible());
        QCOMPARE(rig.form.mode(), SaveMode::Update);
        QVERIFY(rig.control<QToolButton>(u"SpeedButton1"_s)->isEnabled());

        rig.server.enqueue(CaptureServer::envelope("\"code\":\"OK\",\"id\":\"77\""));
        rig.server.enqueue(CaptureServer::envelope("\"code\":\"OK\",\"id\":\"c1\""));
        rig.valider();
        QCOMPARE(rig.server.requests().size(), 4);
        QVERIFY(CaptureServer::bodyof(rig.server.requests().at(2))
                    .startsWith("json_data={\"FidelityMember\" : {\"id\":\"77\","));
        QCOMPARE(rig.dialogs.texts().size(), 2); // the log trouble is told once
        QVERIFY(!rig.form.isVisible());
        QCOMPARE(rig.form.edited().enfant(1).id, u"c1"_s);
    }

    // A missing required value stops before any request and puts the focus on its field.
    void validerRequiresFields()
    {
        Rig rig;
        rig.open(SaveMode::Create);
        rig.edit(u"edcardnumber"_s)->setText(u"1234567"_s);
        rig.edit(u"ednom"_s)->setText(u"DURAND"_s);
        rig.dialogs.clear();
        rig.valider();
        QCOMPARE(rig.dialogs.shown().size(), 1);
        QCOMPARE(rig.dialogs.shown().at(0).kind, u"error"_s);
        QCOMPARE(rig.dialogs.shown().at(0).text, u"Vous devez renseigner le prénom du porteur de la carte"_s);
        QCOMPARE(rig.form.focusWidget(), rig.edit(u"edprenom"_s));
        QVERIFY(rig.server.requests().isEmpty());
        QVERIFY(rig.form.isVisible());
    }

    void leavingChecks_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QStringList>("messages");
        QTest::newRow("civility upper-cased") << u"cbcivilite"_s << u"mme"_s << u"MME"_s << QStringList();
        QTest::newRow("civility Mr") << u"cbcivilite"_s << u"Mr"_s << u"MR"_s
                                     << QStringList{u"Civilité Invalide - Saisir à nouveau"_s};
        QTest::newRow("civility empty") << u"cbcivilite"_s << QString() << QString()
                                        << QStringList{u"Civilité Invalide - Saisir à nouveau"_s};
        QTest::newRow("31/02/1990") << u"eddtn"_s << u"31021990"_s << u"31/02/1990"_s
                                    << QStringList{
                                           u"Date de naissance incorrecte - Saisir une nouvelle date"_s};
        QTest::newRow("birth date today")
            << u"eddtn"_s << u"01122026"_s << u"01/12/2026"_s
            << QStringList{
                   u"la date de naissance est supérieure ou égale à date du jour - Saisir une nouvelle date"_s};
        QTest::newRow("birth date empty") << u"eddtn"_s << QString() << u"//"_s
                                          << QStringList{u"Vous devez saisir une date de naissance"_s};
        QTest::newRow("mobile with blanks")
            << u"edmobile"_s << u"+33 6 12"_s << u"+33612"_s
            << QStringList{u"Numéro Tel invalide - formats attendus : 0xxxxxxxxx ou +XXxxxxxxxx"_s};
        QTest::newRow("landline from 00")
            << u"edtel"_s << u"0012345678"_s << u"0012345678"_s
            << QStringList{u"Numéro Tel invalide - formats attendus : 0xxxxxxxxx ou +XXxxxxxxxx"_s};
        QTest::newRow("mobile national")
            << u"edmobile"_s << u"0612345678"_s << u"0612345678"_s << QStringList();
    }
    void leavingChecks()
    {
        QFETCH(QString, field);
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        QFETCH(QStringList, messages);
        Rig rig;
        rig.open(SaveMode::Create);
        auto* control = rig.form.findChild<QWidget*>(field);
        Person::click(control);
        Person::press(Qt::Key_Home);
        Person::type(typed);
        rig.dialogs.clear();
        Person::click(rig.edit(u"edadresse"_s));
        QCOMPARE(rig.dialogs.texts(), messages);
        if (auto* edit = qobject_cast<QLineEdit*>(control))
            QCOMPARE(edit->text(), shown);
        else
            QCOMPARE(qobject_cast<QComboBox*>(control)->currentText(), shown);
        QCOMPARE(QApplication::focusWidget() == rig.edit(u"edadresse"_s), messages.isEmpty());
        rig.control<QComboBox>(u"cbcivilite"_s)->hidePopup();
    }

    // "Valider" with the focus in a box whose value its own check refuses: the box's message alone,
    // the focus left in it as the message asks, nothing saved. An empty civility or birth date is
    // one fault, told once.
    void validerStopsAtTheFocusedBox_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("message");
        const QString phone = u"Numéro Tel invalide - formats attendus : 0xxxxxxxxx ou +XXxxxxxxxx"_s;
        QTest::newRow("mobile from 00") << u"edmobile"_s << u"0012345678"_s << phone;
        QTest::newRow("landline too short") << u"edtel"_s << u"01234"_s << phone;
        QTest::newRow("civility Mr") << u"cbcivilite"_s << u"Mr"_s
                                     << u"Civilité Invalide - Saisir à nouveau"_s;
        QTest::newRow("civility empty")
            << u"cbcivilite"_s << QString() << u"Civilité Invalide - Saisir à nouveau"_s;
        QTest::newRow("birth date in the future")
            << u"eddtn"_s << u"01012099"_s
            << u"la date de naissance est supérieure ou égale à date du jour - Saisir une nouvelle date"_s;
        QTest::newRow("birth date empty")
            << u"eddtn"_s << QString() << u"Vous devez saisir une date de naissance"_s;
    }
    void validerStopsAtTheFocusedBox()
    {
        QFETCH(QString, field);
        QFETCH(QString, typed);
        QFETCH(QString, message);
        Rig rig;
        loaded(rig.current);
        rig.open(SaveMode::Update);
        auto* control = rig.form.findChild<QWidget*>(field);
        Person::click(control);
        Person::press(Qt::Key_A, Qt::ControlModifier);
        Person::press(Qt::Key_Delete);
        Person::press(Qt::Key_Home);
        Person::type(typed);
        rig.dialogs.clear();

        rig.valider();

        QCOMPARE(rig.dialogs.texts(), QStringList{message});
        QWidget* focus = rig.form.focusWidget();
        QVERIFY(focus == control || control->isAncestorOf(focus));
        QVERIFY(rig.server.requests().isEmpty());
        QVERIFY(rig.form.isVisible());
        QVERIFY(!rig.form.saved());
        rig.control<QComboBox>(u"cbcivilite"_s)->hidePopup();
    }

    void enterActsAsTab()
    {
        Rig rig;
        rig.open(SaveMode::Create);
        Person::click(rig.edit(u"ednom"_s));
        Person::press(Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), rig.edit(u"edprenom"_s));
    }

    void childrenGrid()
    {
        Rig rig;
        rig.open(SaveMode::Create);
        MemoryTable& enfants = rig.form.enfants();
        auto* grid = rig.control<QTableView>(u"DBGrid1"_s);
        rig.form.insertenfant();
        Person::click(grid->viewport(), grid->visualRect(enfants.index(0, 1)).center());
        Person::press(Qt::Key_Left);
        QCOMPARE(grid->currentIndex(), enfants.index(0, 0));
        Person::press(Qt::Key_Space);
        QCOMPARE(enfants.value(0, u"Suppression"_s).toInt(), 1);
        Person::press(Qt::Key_Space);
        QCOMPARE(enfants.value(0, u"Suppression"_s).toInt(), 0);
        Person::press(Qt::Key_Return);
        QCOMPARE(grid->currentIndex(), enfants.index(0, 1));

        // Editing: no text editor on the check box, the pick list for the sex, the masked date
        // stored as its digits and shown with slashes.
        QAbstractItemDelegate* delegate = grid->itemDelegate();
        QStyleOptionViewItem option;
        QCOMPARE(delegate->createEditor(grid->viewport(), option, enfants.index(0, 0)), nullptr);
        std::unique_ptr<QWidget> sexe(delegate->createEditor(grid->viewport(), option, enfants.index(0, 2)));
        auto* list = qobject_cast<QComboBox*>(sexe.get());
        QVERIFY(list);
        QCOMPARE(list->count(), 2);
        list->setCurrentIndex(1);
        delegate->setModelData(list, &enfants, enfants.index(0, 2));
        QCOMPARE(enfants.value(0, u"Sexe"_s).toString(), u"F"_s);
        std::unique_ptr<QWidget> date(delegate->createEditor(grid->viewport(), option, enfants.index(0, 3)));
        auto* masked = qobject_cast<QLineEdit*>(date.get());
        QVERIFY(masked);
        QTest::keyClicks(masked, u"04032015"_s);
        QCOMPARE(masked->text(), u"04/03/2015"_s);
        delegate->setModelData(masked, &enfants, enfants.index(0, 3));
        QCOMPARE(enfants.value(0, u"Date Naissance"_s).toString(), u"04032015"_s);
        QCOMPARE(ChildrenDelegate::shown(u"04032015"_s), u"04/03/2015"_s);

        for (int i = 1; i < Member::maxenfants; ++i)
            rig.form.insertenfant();
        rig.dialogs.clear();
        rig.form.insertenfant();
        QCOMPARE(enfants.rowCount(), Member::maxenfants);
        QCOMPARE(rig.dialogs.texts(), QStringList{u"Une adhésion compte au plus dix enfants"_s});
    }

    // The children grid at the form's size: every title whole, no column off to the side, and
    // each "Suppression" box drawn in the middle of its own row.
    void childrenGridReadsWhole()
    {
        Rig rig;
        loaded(rig.current);
        rig.open(SaveMode::Update);
        auto* grid = rig.control<QTableView>(u"DBGrid1"_s);
        QCoreApplication::processEvents();
        QCOMPARE(GridReading::cuttitles(grid), QStringList());
        QVERIFY(GridReading::fits(grid));
        const QImage shown = grid->viewport()->grab().toImage();
        for (int row = 0; row < rig.form.enfants().rowCount(); ++row) {
            const QRect cell = grid->visualRect(rig.form.enfants().index(row, 0));
            // The box's outline: what is not white in the cell.
            QRect box;
            for (int y = cell.top(); y < cell.bottom(); ++y) {
                for (int x = cell.left(); x < cell.right(); ++x) {
                    if (shown.pixelColor(x, y).lightness() < 230)
                        box |= QRect(x, y, 1, 1);
                }
            }
            QVERIFY2(!box.isEmpty(), qPrintable(QString::number(row)));
            QVERIFY2(box.height() >= 10, qPrintable(QString::number(box.height())));
            QVERIFY2(qAbs(box.center().y() - cell.center().y()) <= 1,
                     qPrintable(QString::number(box.center().y()) + u" in "_s +
                                QString::number(cell.center().y())));
        }
    }

    // "Impression" prints what the controls hold now, with the pharmacy settings of the moment.
    void impression()
    {
        Rig rig;
        RecordingReportOutput output;
        QStringList pharmacie{u"Pharmacie du Centre"_s, u"3 place Bellecour"_s, QString(), u"69002"_s,
                              u"Lyon"_s};
        rig.form.setreportoutput(&output);
        rig.form.setpharmacie([&pharmacie] { return pharmacie; });
        loaded(rig.current);
        rig.open(SaveMode::Update);
        rig.edit(u"ednom"_s)->setText(u"DURAND"_s);
        Person::click(rig.control<QToolButton>(u"SpeedButton3"_s));
        pharmacie[0] = u"Pharmacie Neuve"_s;
        rig.control<QCheckBox>(u"ckbemailin"_s)->setChecked(false);
        Person::click(rig.control<QToolButton>(u"SpeedButton3"_s));

        QCOMPARE(output.printed().size(), 2);
        const ReportLayout& first = output.printed().at(0);
        QCOMPARE(first.text(u"nom"_s), u"DURAND"_s);
        QCOMPARE(first.text(u"dtn"_s), u"25/12/1980"_s);
        QCOMPARE(first.text(u"tel"_s), u"0612345678 "_s);
        QVERIFY(first.object(u"emailoptin"_s)->checked);
        QVERIFY(first.text(u"cachet"_s).startsWith(u"Pharmacie du Centre\n"_s));
        const ReportLayout& second = output.printed().at(1);
        QVERIFY(second.text(u"cachet"_s).startsWith(u"Pharmacie Neuve\n"_s));
        QVERIFY(!second.object(u"emailoptin"_s)->checked);
        // Printing saves nothing.
        QVERIFY(rig.server.requests().isEmpty());
        QCOMPARE(rig.current.Getnom(), u"DUPONT"_s);
    }

    void quitter()
    {
        Rig rig;
        rig.open(SaveMode::Create);
        rig.dialogs.script({false});
        rig.form.quit();
        QVERIFY(rig.form.isVisible());
        rig.form.quit();
        QVERIFY(!rig.form.isVisible());
        QCOMPARE(rig.dialogs.texts(), (QStringList{u"Annuler les modifications en cours"_s,
                                                   u"Annuler les modifications en cours"_s}));
        QVERIFY(rig.server.requests().isEmpty());
    }
};

QTEST_MAIN(TestEnrolmentForm)
#include "tst_enrolmentform.moc"
