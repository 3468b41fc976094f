#include "RecordingShell.h"
#include "LocalPlatform.h"
#include "ScriptedDialogs.h"

#include "app/Program.h"
#include "counter/CounterState.h"
#include "counter/CounterWindow.h"
#include "members/EnrolmentForm.h"
#include "platform/Clock.h"
#include "platform/Shell.h"
#include "settings/Switches.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <functional>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

// The whole program started on a work folder whose settings point at the local platform.
class Started
{
public:
    explicit Started(const LocalPlatform& platform)
    {
        platform.preparework(m_work.path());
        program = std::make_unique<Program>(Switches({u"quilba"_s}), dialogs, shell, m_clock);
    }

    CounterWindow& window() { return program->counterwindow(); }
    QString label(const char* name) { return window().findChild<QLabel*>(QString::fromLatin1(name))->text(); }
    void search(const QString& text)
    {
        window().search()->setFocus();
        window().search()->clear();
        QTest::keyClicks(window().search(), text);
        QTest::keyClick(window().search(), Qt::Key_Return);
    }

    ScriptedDialogs dialogs;
    RecordingShell shell;
    std::unique_ptr<Program> program;

private:
    QTemporaryDir m_work;
    SystemClock m_clock;
};

// Runs `fill` on the enrolment form once it is shown modally.
void onform(Program& program, std::function<void(EnrolmentForm&)> fill)
{
    QTimer::singleShot(0, &program, [&program, fill] { fill(program.formmember()); });
}

QLineEdit* field(EnrolmentForm& form, const char* name)
{
    return form.findChild<QLineEdit*>(QString::fromLatin1(name));
}

void click(CounterWindow& window, const char* button)
{
    window.findChild<QToolButton*>(QString::fromLatin1(button))->click();
}

} // namespace

class TestEnrolmentPlatform : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        m_platform = std::make_unique<LocalPlatform>();
        QVERIFY2(m_platform->started(), qPrintable(m_platform->error()));
    }
    void cleanup() { m_platform.reset(); }

    // A new member saved from ADHESION is looked up by its id and shown.
    void adhesionShowsTheNewMember()
    {
        Started counter(*m_platform);
        counter.window().edvendeur()->setText(u"V7"_s);
        QString seller;
        onform(*counter.program, [&seller](EnrolmentForm& form) {
            seller = field(form, "edcodevendeur")->text();
            field(form, "edcardnumber")->setText(u"7777777"_s);
            field(form, "ednom")->setText(u"DURAND"_s);
            field(form, "edprenom")->setText(u"Éloïse"_s);
            form.findChild<QComboBox*>(u"cbcivilite"_s)->setEditText(u"MME"_s);
            field(form, "eddtn")->setText(u"25121980"_s);
            field(form, "edmail")->setText(u"eloise@example.fr"_s);
            form.validate();
        });
        click(counter.window(), "ToolButton1");

        QVERIFY2(counter.dialogs.texts().isEmpty(), qPrintable(counter.dialogs.texts().join(u'|')));
        QCOMPARE(seller, u"V7"_s);
        QCOMPARE(counter.window().search()->text(), u"7777777"_s);
        QVERIFY2(counter.label("lblnom").contains(u"DURAND"_s, Qt::CaseInsensitive),
                 qPrintable(counter.label("lblnom")));
        QCOMPARE(counter.label("lblmail"), u"eloise@example.fr"_s);
        QVERIFY(!counter.window().state().idle());
    }

    // After a modification the member stays shown with the new values and card number.
    void modificationRefreshesTheCounter()
    {
        Started counter(*m_platform);
        counter.search(u"1010001"_s);
        QVERIFY(!counter.window().state().idle());
        onform(*counter.program, [](EnrolmentForm& form) {
            QCOMPARE(field(form, "ednom")->text(), u"DUPONT"_s);
            field(form, "edmobile")->setText(u"0699999999"_s);
            field(form, "edcardnumber")->setText(u"1010999"_s);
            form.validate();
        });
        click(counter.window(), "ToolButton2");

        QVERIFY2(counter.dialogs.texts().isEmpty(), qPrintable(counter.dialogs.texts().join(u'|')));
        QCOMPARE(counter.label("lblmobile"), u"0699999999"_s);
        QCOMPARE(counter.window().search()->text(), u"1010999"_s);
        QVERIFY(!counter.window().state().idle());
        QCOMPARE(counter.label("lblnom"), u"MME Marie DUPONT"_s);

        // The platform holds the change: a fresh lookup by the new card shows it.
        counter.search(u"1010999"_s);
        QCOMPARE(counter.label("lblmobile"), u"0699999999"_s);
    }

    // A modification the platform refused, then left, leaves the record and the labels as the
    // platform holds them.
    void modificationLeftUnsaved()
    {
        Started counter(*m_platform);
        counter.search(u"1010001"_s);
        const QString mobile = counter.label("lblmobile");
        m_platform->admin(
            "POST", u"faults"_s,
            R"({"action":"status","status_line":"HTTP/1.1 500 Internal Server Error","body":"panne"})");
        bool stayed = false;
        onform(*counter.program, [&stayed](EnrolmentForm& form) {
            field(form, "edmobile")->setText(u"0699999999"_s);
            field(form, "ednom")->setText(u"DURAND"_s);
            form.validate(); // refused by the platform
            stayed = form.isVisible();
            form.quit(); // "Annuler les modifications en cours": yes
        });
        click(counter.window(), "ToolButton2");

        QVERIFY(stayed);
        QCOMPARE(counter.dialogs.texts(),
                 (QStringList{u"Erreur technique : HTTP/1.1 500 Internal Server Error"_s,
                              u"Annuler les modifications en cours"_s}));
        QCOMPARE(counter.label("lblmobile"), mobile);
        QCOMPARE(counter.label("lblnom"), u"MME Marie DUPONT"_s);
        QCOMPARE(counter.window().state().member().Getnom(), u"DUPONT"_s);
        QCOMPARE(counter.window().state().member().Getmobile(), mobile);
        QCOMPARE(counter.window().search()->text(), u"1010001"_s);
    }

    // MODIFICATION does nothing while no member is shown; ADHESION then opens an empty form.
    void modificationNeedsAMember()
    {
        Started counter(*m_platform);
        bool opened = false;
        onform(*counter.program, [&opened](EnrolmentForm& form) {
            opened = form.isVisible();
            form.reject();
        });
        click(counter.window(), "ToolButton2");
        QVERIFY(!opened);
        QCoreApplication::processEvents(); // the pending form action runs on nothing
        QString card = u"unset"_s;
        onform(*counter.program, [&card](EnrolmentForm& form) {
            card = field(form, "edcardnumber")->text();
            form.reject();
        });
        click(counter.window(), "ToolButton1");
        QCOMPARE(card, QString());
    }

private:
    std::unique_ptr<LocalPlatform> m_platform;
};

QTEST_MAIN(TestEnrolmentPlatform)
#include "tst_enrolment_platform.moc"
