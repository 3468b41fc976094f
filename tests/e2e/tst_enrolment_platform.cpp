#include "PlatformTest.h"
#include "RunningProgram.h"

#include "counter/CounterState.h"
#include "counter/CounterWindow.h"
#include "members/EnrolmentForm.h"

#include <QComboBox>
#include <QLineEdit>
#include <QTest>
#include <QToolButton>

using namespace Qt::StringLiterals;

namespace {

QLineEdit* field(EnrolmentForm& form, const char* name)
{
    return form.findChild<QLineEdit*>(QString::fromLatin1(name));
}

void click(CounterWindow& window, const char* button)
{
    window.findChild<QToolButton*>(QString::fromLatin1(button))->click();
}

} // namespace

class TestEnrolmentPlatform : public PlatformTest
{
    Q_OBJECT
private slots:
    // A new member saved from ADHESION is looked up by its id and shown.
    void adhesionShowsTheNewMember()
    {
        RunningProgram counter(*m_platform);
        counter.window().edvendeur()->setText(u"V7"_s);
        QString seller;
        counter.onform([&seller](EnrolmentForm& form) {
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
        RunningProgram counter(*m_platform);
        counter.search(u"1010001"_s);
        QVERIFY(!counter.window().state().idle());
        counter.onform([](EnrolmentForm& form) {
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
        RunningProgram counter(*m_platform);
        counter.search(u"1010001"_s);
        const QString mobile = counter.label("lblmobile");
        m_platform->admin(
            "POST", u"faults"_s,
            R"({"action":"status","status_line":"HTTP/1.1 500 Internal Server Error","body":"panne"})");
        bool stayed = false;
        counter.onform([&stayed](EnrolmentForm& form) {
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
        RunningProgram counter(*m_platform);
        bool opened = false;
        counter.onform([&opened](EnrolmentForm& form) {
            opened = form.isVisible();
            form.reject();
        });
        click(counter.window(), "ToolButton2");
        QVERIFY(!opened);
        // The form action still waiting is replaced: it never runs.
        QString card = u"unset"_s;
        counter.onform([&card](EnrolmentForm& form) {
            card = field(form, "edcardnumber")->text();
            form.reject();
        });
        click(counter.window(), "ToolButton1");
        QCOMPARE(card, QString());
    }
};

QTEST_MAIN(TestEnrolmentPlatform)
#include "tst_enrolment_platform.moc"
