#include "counter/Sale.h"
#include "data/NumberText.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QString example = QString::fromUtf8(
    R"(json_data={"AdEvent":{"type":"addCA", "member":{"id":4711},"group":{"loadFromKeys":{"idExternal":"12" }},"sparam":"AB","fvalue":"25.8","details":[{"AdEventDetail":{"detailType":"I","class1":"produit A100","class10":"A100","quantity":"2","unitValue":"4.5","finalvalue":"9"}},{"AdEventDetail":{"detailType":"I","class1":"produit B200","class10":"B200","quantity":"1","unitValue":"16.8","finalvalue":"16.8"}}]}})");

Sale::Request examplerequest()
{
    return {u"4711"_s, u"12"_s,   u"AB"_s,
            QString(), u"25,8"_s, {{u"A100"_s, 2, 4.5, 9.0}, {u"B200"_s, 1, 16.8, 16.8}}};
}

QString head(const QString& member = u"4711"_s)
{
    return QString::fromUtf8(R"(json_data={"AdEvent":{"type":"addCA", "member":{"id":)") + member +
           QString::fromUtf8(R"(},"group":{"loadFromKeys":{"idExternal":"12" }},)");
}

} // namespace

class TestSale final : public QObject
{
    Q_OBJECT
private slots:
    void exampleRequest() { QCOMPARE(Sale::requesttext(examplerequest()), example); }

    void requestParts_data()
    {
        QTest::addColumn<QString>("seller");
        QTest::addColumn<QString>("number");
        QTest::addColumn<QString>("amount");
        QTest::addColumn<QString>("expected");
        QTest::newRow("neither") << QString() << QString() << u"-20"_s
                                 << head() + QString::fromUtf8(R"("fvalue":"-20"}})");
        QTest::newRow("quotes removed")
            << u"AB\"X"_s << u"\"V-9\""_s << u"12,50"_s
            << head() + QString::fromUtf8(R"("sparam":"ABX","idExternal":"V-9","fvalue":"12.50"}})");
        QTest::newRow("number only") << QString() << u"77"_s << u"3"_s
                                     << head() + QString::fromUtf8(R"("idExternal":"77","fvalue":"3"}})");
        QTest::newRow("backslash escaped") << u"A\\B"_s << QString() << u"3"_s
                                           << head() + QString::fromUtf8(R"("sparam":"A\\B","fvalue":"3"}})");
    }
    void requestParts()
    {
        QFETCH(QString, seller);
        QFETCH(QString, number);
        QFETCH(QString, amount);
        QFETCH(QString, expected);
        QCOMPARE(Sale::requesttext({u"4711"_s, u"12"_s, seller, number, amount, {}}), expected);
    }

    void detailsAndMember()
    {
        Sale::Request request{u"abc\"1"_s, u"12"_s, {}, {}, u"5"_s, {}};
        request.lines = {{u"C1"_s, 1, 1.5, 1.5}, {u"C\"2"_s, {}, {}, {}}, {u"C3"_s, 3, 0.1, 0.3}};
        const QString detail = QString::fromUtf8(
            R"({"AdEventDetail":{"detailType":"I","class1":"produit %1","class10":"%1","quantity":"%2","unitValue":"%3","finalvalue":"%4"}})");
        // A member id that is no JSON number goes as an escaped string; empty fields give "".
        QCOMPARE(Sale::requesttext(request),
                 head(u"\"abc\\\"1\""_s) + QString::fromUtf8(R"("fvalue":"5","details":[)") +
                     detail.arg(u"C1"_s, u"1"_s, u"1.5"_s, u"1.5"_s) + u","_s +
                     detail.arg(u"C\\\"2"_s, QString(), QString(), QString()) + u","_s +
                     detail.arg(u"C3"_s, u"3"_s, u"0.1"_s, u"0.3"_s) + u"]}}"_s);
    }

    void generalFormat_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("13,5") << 13.5 << u"13,5"_s;
        QTest::newRow("22") << 22.0 << u"22"_s;
        QTest::newRow("negative") << -20.0 << u"-20"_s;
        QTest::newRow("3 x 0,1") << 3 * 0.1 << u"0,3"_s;
        QTest::newRow("sum") << 9.0 + 16.8 << u"25,8"_s;
        QTest::newRow("zero") << -0.0 << u"0"_s;
        QTest::newRow("large") << 123456789012.5 << u"123456789012,5"_s;
    }
    void generalFormat()
    {
        QFETCH(double, value);
        QFETCH(QString, text);
        QCOMPARE(generalformat(value), text);
    }

    void amountChecks_data()
    {
        QTest::addColumn<QString>("amount");
        QTest::addColumn<int>("check");
        const auto row = [](const QString& amount, Sale::Check check) {
            QTest::newRow(amount.isEmpty() ? "empty" : amount.toUtf8().constData())
                << amount << static_cast<int>(check);
        };
        row(u"99,99"_s, Sale::Check::Ok);
        row(u"100"_s, Sale::Check::Confirm);
        row(u"100,5"_s, Sale::Check::Confirm);
        row(u"-20"_s, Sale::Check::Ok);
        row(u",5"_s, Sale::Check::Ok);
        row(u"1,2,3"_s, Sale::Check::Incorrect);
        row(u"-"_s, Sale::Check::Incorrect);
        row(u"12.5"_s, Sale::Check::Incorrect);
        row(QString(), Sale::Check::Invalid);
        row(u"0"_s, Sale::Check::Invalid);
        row(u"0,00"_s, Sale::Check::Invalid);
        row(u",0"_s, Sale::Check::Invalid);
    }
    void amountChecks()
    {
        QFETCH(QString, amount);
        QFETCH(int, check);
        QCOMPARE(static_cast<int>(Sale::checkamount(amount)), check);
    }

    void addTen_data()
    {
        QTest::addColumn<QString>("amount");
        QTest::addColumn<QString>("result"); // "!" for no number
        QTest::newRow("empty") << QString() << QString();
        QTest::newRow("0") << u"0"_s << u"10"_s;
        QTest::newRow("12,5") << u"12,5"_s << u"22,5"_s;
        QTest::newRow("text") << u"1,2,3"_s << u"!"_s;
    }
    void addTen()
    {
        QFETCH(QString, amount);
        QFETCH(QString, result);
        QCOMPARE(Sale::addten(amount).value_or(u"!"_s), result);
    }

    void deniedmessage()
    {
        QCOMPARE(Sale::deniedmessage(401),
                 u"La vente n'a pas été enregistrée : l'accès a été refusé (HTTP 401). La saisie est "
                 "conservée : vérifiez les paramètres de connexion puis validez la vente à nouveau."_s);
    }
};

QTEST_GUILESS_MAIN(TestSale)
#include "tst_sale.moc"
