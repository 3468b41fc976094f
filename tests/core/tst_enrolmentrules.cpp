#include "members/EnrolmentRules.h"

#include <QTest>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(std::optional<QString>)
Q_DECLARE_METATYPE(EnrolmentRules::Required)

class TestEnrolmentRules : public QObject
{
    Q_OBJECT
private slots:
    void cardnumber_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("kept");
        QTest::newRow("bar code") << u"3312345678901"_s << u"4567890"_s;
        QTest::newRow("12 characters") << u"331234567890"_s << u"331234567890"_s;
        QTest::newRow("14 characters") << u"33123456789012"_s << u"33123456789012"_s;
        QTest::newRow("13 not beginning with 33") << u"3412345678901"_s << u"3412345678901"_s;
        QTest::newRow("card number") << u"1010001"_s << u"1010001"_s;
    }
    void cardnumber()
    {
        QFETCH(QString, typed);
        QFETCH(QString, kept);
        QCOMPARE(EnrolmentRules::cardnumber(typed), kept);
    }

    void civilite_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("valid");
        QTest::newRow("mme upper-cased") << u"mme"_s.toUpper() << true;
        QTest::newRow("M") << u"M"_s << true;
        QTest::newRow("MELLE") << u"MELLE"_s << true;
        QTest::newRow("COMPANY") << u"COMPANY"_s << true;
        QTest::newRow("Mr") << u"MR"_s << false;
        QTest::newRow("empty") << QString() << false;
        QTest::newRow("partial") << u"MM"_s << false;
    }
    void civilite()
    {
        QFETCH(QString, typed);
        QFETCH(bool, valid);
        QCOMPARE(EnrolmentRules::civilitevalid(typed), valid);
    }

    // Birth dates against a fixed now: 1 December 2026, 09:30.
    void datenaissance_data()
    {
        QTest::addColumn<QString>("digits");
        QTest::addColumn<std::optional<QString>>("message");
        const std::optional<QString> none;
        const QString incorrect = u"Date de naissance incorrecte - Saisir une nouvelle date"_s;
        const QString future =
            u"la date de naissance est supérieure ou égale à date du jour - Saisir une nouvelle date"_s;
        const QString suspect = u"la date de naissance est suspecte - Saisir une nouvelle date"_s;
        QTest::newRow("empty") << QString()
                               << std::optional<QString>(u"Vous devez saisir une date de naissance"_s);
        QTest::newRow("blanks of the mask")
            << u"  "_s << std::optional<QString>(u"Vous devez saisir une date de naissance"_s);
        QTest::newRow("31/02/1990 only incorrect") << u"31021990"_s << std::optional<QString>(incorrect);
        QTest::newRow("incomplete") << u"1203"_s << std::optional<QString>(incorrect);
        QTest::newRow("month 13") << u"01131990"_s << std::optional<QString>(incorrect);
        QTest::newRow("today") << u"01122026"_s << std::optional<QString>(future);
        QTest::newRow("tomorrow") << u"02122026"_s << std::optional<QString>(future);
        QTest::newRow("yesterday") << u"30112026"_s << none;
        QTest::newRow("29 February of a leap year") << u"29022000"_s << none;
        QTest::newRow("111 years ago") << u"01121915"_s << std::optional<QString>(suspect);
        QTest::newRow("day before the 110 years") << u"30111916"_s << std::optional<QString>(suspect);
        QTest::newRow("110 years ago to the day") << u"01121916"_s << std::optional<QString>(suspect);
        QTest::newRow("day after the 110 years") << u"02121916"_s << none;
    }
    void datenaissance()
    {
        QFETCH(QString, digits);
        QFETCH(std::optional<QString>, message);
        const QDateTime now(QDate(2026, 12, 1), QTime(9, 30));
        QCOMPARE(EnrolmentRules::datenaissance(digits, now), message);
    }

    void phone_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("kept");
        QTest::addColumn<bool>("valid");
        QTest::newRow("international") << u"+33612345678"_s << u"+33612345678"_s << true;
        QTest::newRow("national") << u"0612345678"_s << u"0612345678"_s << true;
        QTest::newRow("national from 00") << u"0012345678"_s << u"0012345678"_s << false;
        QTest::newRow("typed blanks discarded") << u"06 12 34 56 78"_s << u"0612345678"_s << true;
        QTest::newRow("short international") << u"+33 6 12"_s << u"+33612"_s << false;
        QTest::newRow("letters discarded") << u"06a12b345678"_s << u"0612345678"_s << true;
        QTest::newRow("national too long") << u"06123456789"_s << u"06123456789"_s << false;
        QTest::newRow("international 15 digits") << u"+123456789012345"_s << u"+123456789012345"_s << true;
        QTest::newRow("international 16 digits") << u"+1234567890123456"_s << u"+1234567890123456"_s << false;
        QTest::newRow("two plus signs") << u"++33612345678"_s << u"++33612345678"_s << false;
    }
    void phone()
    {
        QFETCH(QString, typed);
        QFETCH(QString, kept);
        QFETCH(bool, valid);
        const QString filtered = EnrolmentRules::phonefiltered(typed);
        QCOMPARE(filtered, kept);
        QCOMPARE(EnrolmentRules::phonevalid(filtered), valid);
    }

    void validate_data()
    {
        QTest::addColumn<EnrolmentRules::Required>("values");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("control");
        const EnrolmentRules::Required full{u"1010001"_s,  u"DUPONT"_s,       u"Marie"_s,     u"MME"_s,
                                            u"25121980"_s, u"m@example.fr"_s, u"0612345678"_s};
        const QString start = u"Vous devez renseigner "_s;
        QTest::newRow("complete") << full << QString() << QString();
        auto without = full;
        without.mobile.clear();
        QTest::newRow("e-mail only") << without << QString() << QString();
        without = full;
        without.email.clear();
        QTest::newRow("mobile only") << without << QString() << QString();
        without.mobile.clear();
        QTest::newRow("neither e-mail nor mobile")
            << without << start + u"le téléphone ou l'adresse mail du porteur de la carte"_s << u"edmail"_s;
        without.datenaissance.clear();
        QTest::newRow("birth date before contact")
            << without << start + u"la date de naissance du porteur de la carte"_s << u"eddtn"_s;
        without.civilite.clear();
        QTest::newRow("civility before birth date")
            << without << start + u"la civilité du porteur de la carte"_s << u"cbcivilite"_s;
        without.prenom.clear();
        QTest::newRow("first name before civility")
            << without << start + u"le prénom du porteur de la carte"_s << u"edprenom"_s;
        without.nom.clear();
        QTest::newRow("name before first name")
            << without << start + u"le nom du porteur de la carte"_s << u"ednom"_s;
        without.cardnumber.clear();
        QTest::newRow("card number first")
            << without << start + u"le numéro de la carte"_s << u"edcardnumber"_s;
    }
    void validate()
    {
        QFETCH(EnrolmentRules::Required, values);
        QFETCH(QString, message);
        QFETCH(QString, control);
        const auto failure = EnrolmentRules::validate(values);
        QCOMPARE(failure.has_value(), !message.isEmpty());
        if (failure) {
            QCOMPARE(failure->message, message);
            QCOMPARE(failure->control, control);
        }
    }
};

QTEST_GUILESS_MAIN(TestEnrolmentRules)
#include "tst_enrolmentrules.moc"
