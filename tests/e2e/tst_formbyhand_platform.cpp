#include "LocalPlatform.h"
#include "Person.h"
#include "RunningProgram.h"

#include "counter/CounterWindow.h"
#include "members/EnrolmentForm.h"
#include "members/EnrolmentRules.h"
#include "platform/WidgetDialogs.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QScopeGuard>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QToolButton>

using namespace Qt::StringLiterals;

namespace {

QWidget* control(EnrolmentForm& form, const QString& name)
{
    QWidget* found = form.findChild<QWidget*>(name);
    if (!found)
        qWarning("pas de contrôle %s", qPrintable(name));
    return found;
}

// A click into the box, its text selected, the new text typed over it.
void typeinto(EnrolmentForm& form, const QString& name, const QString& text)
{
    Person::click(control(form, name));
    Person::press(Qt::Key_Home);
    Person::press(Qt::Key_End, Qt::ShiftModifier);
    Person::type(text);
}

void clickbutton(EnrolmentForm& form, const char* name)
{
    Person::click(control(form, QLatin1StringView(name)));
}

QByteArrayList startingwith(const QByteArrayList& bodies, const QByteArray& start)
{
    QByteArrayList out;
    for (const QByteArray& body : bodies) {
        if (body.startsWith(start))
            out.append(body);
    }
    return out;
}

// The required boxes of a new member, typed.
void newmember(EnrolmentForm& form)
{
    typeinto(form, u"edcardnumber"_s, u"7777001"_s);
    typeinto(form, u"cbcivilite"_s, u"MME"_s);
    typeinto(form, u"ednom"_s, u"MARTIN"_s);
    typeinto(form, u"edprenom"_s, u"Zoé"_s);
    typeinto(form, u"eddtn"_s, u"12031980"_s);
    typeinto(form, u"edmail"_s, u"zoe.martin@example.fr"_s);
}

} // namespace

class TestFormByHand : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        m_platform = std::make_unique<LocalPlatform>();
        QVERIFY2(m_platform->started(), qPrintable(m_platform->error()));
        m_counter = std::make_unique<RunningProgram>(*m_platform, QStringList{u"-nocoupon"_s});
        m_counter->show();
    }
    void cleanup()
    {
        m_counter.reset();
        m_platform.reset();
    }

    // Two children typed, the second's first name still in its cell editor when "Valider" is
    // clicked: both reach the platform.
    void childrenTypedThenValider()
    {
        m_counter->search(u"1010002"_s);
        EnrolmentForm& form = m_counter->program->formmember();
        Person::whenshown(&form, [&form] {
            clickbutton(form, "DBNavigator1");
            Person::type(u"Léa"_s);
            clickbutton(form, "DBNavigator1");
            Person::type(u"Hugo"_s);
            clickbutton(form, "SpeedButton1");
        });
        Person::click(m_counter->window().findChild<QToolButton*>(u"ToolButton2"_s));

        QCOMPARE(m_counter->dialogs.texts(), QStringList());
        QVERIFY(!form.isVisible());
        const QByteArrayList children =
            startingwith(m_counter->sent(), R"({"FidelityMemberChild" : {"parent")");
        QCOMPARE(children.size(), 2);
        QVERIFY2(children.at(0).contains(R"("firstname":"Léa")"), children.at(0).constData());
        QVERIFY2(children.at(1).contains(R"("firstname":"Hugo")"), children.at(1).constData());
    }

    // Escape asks before throwing the entry away, as "Quitter" does.
    void escapeAsksFirst()
    {
        EnrolmentForm& form = m_counter->program->formmember();
        bool openafterno = false;
        m_counter->dialogs.script({false, true});
        Person::whenshown(&form, [&form, &openafterno] {
            typeinto(form, u"ednom"_s, u"MARTIN"_s);
            Person::press(Qt::Key_Escape);
            openafterno = form.isVisible();
            Person::press(Qt::Key_Escape);
        });
        Person::click(m_counter->window().findChild<QToolButton*>(u"ToolButton1"_s));
        QVERIFY(openafterno);
        QVERIFY(!form.isVisible());
        QCOMPARE(m_counter->dialogs.texts(), QStringList(2, u"Annuler les modifications en cours"_s));
        QCOMPARE(startingwith(m_counter->sent(), R"({"FidelityMember")"), QByteArrayList());
    }

    // Tab walks every box of the form in its order, through the phone boxes, and back with
    // Shift+Tab.
    void tabWalksTheForm()
    {
        m_counter->search(u"1010001"_s);
        EnrolmentForm& form = m_counter->program->formmember();
        QStringList forward, backward;
        Person::whenshown(&form, [&] {
            Person::click(control(form, u"edcardnumber"_s));
            for (int i = 0; i < 22; ++i) {
                forward.append(Person::focus()->objectName());
                Person::press(Qt::Key_Tab);
            }
            forward.append(Person::focus()->objectName());
            for (int i = 0; i < 6; ++i) {
                Person::press(Qt::Key_Backtab);
                backward.append(Person::focus()->objectName());
            }
            form.reject();
        });
        Person::click(m_counter->window().findChild<QToolButton*>(u"ToolButton2"_s));
        QCOMPARE(m_counter->dialogs.texts(), QStringList());
        const QStringList order{u"edcardnumber"_s, u"edcodevendeur"_s, u"cbcivilite"_s,  u"ednom"_s,
                                u"edprenom"_s,     u"eddtn"_s,         u"edmobile"_s,    u"ckbportin"_s,
                                u"edmail"_s,       u"ckbemailin"_s,    u"edtel"_s,       u"edadresse"_s,
                                u"edadresse2"_s,   u"edcodepost"_s,    u"edville"_s,     u"DBGrid1"_s,
                                u"chkbxpara"_s,    u"chkbxbebe"_s,     u"chkbxsport"_s,  u"chkbxdiet"_s,
                                u"chkbxnature"_s,  u"DBNavigator1"_s,  u"edcardnumber"_s};
        QCOMPARE(forward, order);
        QCOMPARE(backward, (QStringList{u"DBNavigator1"_s, u"chkbxnature"_s, u"chkbxdiet"_s, u"chkbxsport"_s,
                                        u"chkbxbebe"_s, u"chkbxpara"_s}));
    }

    // Each check runs every time its box is left, a message or not in between.
    void leavingChecksRunEveryTime_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("second");
        QTest::addColumn<QStringList>("messages");
        const QString future =
            u"la date de naissance est supérieure ou égale à date du jour - Saisir une nouvelle date"_s;
        QTest::newRow("birth date in the future twice")
            << u"eddtn"_s << u"01012099"_s << u"02022098"_s << QStringList{future, future};
        QTest::newRow("impossible then future birth date")
            << u"eddtn"_s << u"31021990"_s << u"01012099"_s
            << QStringList{EnrolmentRules::dateincorrecte(), future};
        QTest::newRow("two short mobile numbers")
            << u"edmobile"_s << u"06123"_s << u"0612"_s << QStringList(2, EnrolmentRules::phoneinvalid());
        QTest::newRow("two wrong landline numbers")
            << u"edtel"_s << u"0012345678"_s << u"+331"_s << QStringList(2, EnrolmentRules::phoneinvalid());
        QTest::newRow("two unknown civilities")
            << u"cbcivilite"_s << u"Mr"_s << u"Dr"_s << QStringList(2, EnrolmentRules::civiliteinvalid());
    }
    void leavingChecksRunEveryTime()
    {
        QFETCH(QString, box);
        QFETCH(QString, first);
        QFETCH(QString, second);
        QFETCH(QStringList, messages);
        EnrolmentForm& form = m_counter->program->formmember();
        QString focusafter;
        Person::whenshown(&form, [&] {
            typeinto(form, box, first);
            Person::press(Qt::Key_Tab);
            // The civility list drops down with its message: Escape folds it.
            if (box == u"cbcivilite"_s)
                Person::press(Qt::Key_Escape);
            Person::press(Qt::Key_Home);
            Person::press(Qt::Key_End, Qt::ShiftModifier);
            Person::type(second);
            Person::press(Qt::Key_Tab);
            if (box == u"cbcivilite"_s)
                Person::press(Qt::Key_Escape);
            focusafter = Person::focus() ? Person::focus()->objectName() : QString();
            form.reject();
        });
        Person::click(m_counter->window().findChild<QToolButton*>(u"ToolButton1"_s));
        QCOMPARE(m_counter->dialogs.texts(), messages);
        QCOMPARE(focusafter, box);
    }

    // "Valider" leaves the box that still has the focus first: the civility typed last is sent in
    // capitals; a birth date that does not exist is never sent.
    void validerLeavesTheFocusedBox()
    {
        EnrolmentForm& form = m_counter->program->formmember();
        Person::whenshown(&form, [&form] {
            newmember(form);
            typeinto(form, u"cbcivilite"_s, u"mme"_s);
            clickbutton(form, "SpeedButton1");
        });
        Person::click(m_counter->window().findChild<QToolButton*>(u"ToolButton1"_s));
        QCOMPARE(m_counter->dialogs.texts(), QStringList());
        const QByteArrayList saved = startingwith(m_counter->sent(), R"({"FidelityMember")");
        QCOMPARE(saved.size(), 1);
        QVERIFY2(saved.at(0).contains(R"("gender":"MME")"), saved.at(0).constData());
    }
    void impossibleBirthDateNeverSent()
    {
        EnrolmentForm& form = m_counter->program->formmember();
        QString focus;
        Person::whenshown(&form, [&] {
            newmember(form);
            typeinto(form, u"eddtn"_s, u"31021990"_s);
            clickbutton(form, "SpeedButton1");
            // Again, the message already given: the date still goes nowhere.
            clickbutton(form, "SpeedButton1");
            focus = Person::focus()->objectName();
            // A child's impossible birth date is refused the same way.
            typeinto(form, u"eddtn"_s, u"28021990"_s);
            clickbutton(form, "DBNavigator1");
            Person::type(u"Léa"_s);
            Person::press(Qt::Key_Tab);
            Person::press(Qt::Key_Tab);
            Person::type(u"30022015"_s);
            clickbutton(form, "SpeedButton1");
            form.reject();
        });
        Person::click(m_counter->window().findChild<QToolButton*>(u"ToolButton1"_s));
        QCOMPARE(m_counter->dialogs.texts(), QStringList(3, EnrolmentRules::dateincorrecte()));
        QCOMPARE(focus, u"eddtn"_s);
        QCOMPARE(startingwith(m_counter->sent(), R"({"FidelityMember")"), QByteArrayList());
    }

    // The same with the program's real message boxes, which take the keyboard while they show:
    // a check refused once still runs when the box is left again.
    void leavingChecksRunEveryTimeWithRealBoxes()
    {
        m_counter.reset();
        WidgetDialogs boxes;
        RunningProgram counter(*m_platform, {u"-nocoupon"_s}, &boxes);
        counter.show();
        QStringList shown;
        // Reads each box and closes it with Enter, as a person does.
        QTimer closer;
        closer.setInterval(5);
        connect(&closer, &QTimer::timeout, [&shown] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                shown.append(box->text());
                Person::press(Qt::Key_Return);
            }
        });
        closer.start();
        EnrolmentForm& form = counter.program->formmember();
        QStringList focus;
        Person::whenshown(&form, [&] {
            const auto close = qScopeGuard([&form] { form.reject(); });
            for (const QString& date : {u"01012099"_s, u"02022098"_s, u"31021990"_s}) {
                typeinto(form, u"eddtn"_s, date);
                Person::press(Qt::Key_Tab);
                QTRY_COMPARE(shown.size(), focus.size() + 1);
                QTRY_VERIFY(form.isActiveWindow());
                focus.append(Person::focus() ? Person::focus()->objectName() : QString());
            }
        });
        Person::click(counter.window().findChild<QToolButton*>(u"ToolButton1"_s));
        const QString future =
            u"la date de naissance est supérieure ou égale à date du jour - Saisir une nouvelle date"_s;
        QCOMPARE(shown, (QStringList{future, future, EnrolmentRules::dateincorrecte()}));
        QCOMPARE(focus, QStringList(3, u"eddtn"_s));
    }

private:
    std::unique_ptr<LocalPlatform> m_platform;
    std::unique_ptr<RunningProgram> m_counter;
};

QTEST_MAIN(TestFormByHand)
#include "tst_formbyhand_platform.moc"
