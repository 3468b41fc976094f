#include "RecordingReportOutput.h"

#include "counter/Tickets.h"
#include "platform/Clock.h"
#include "report/PdfReportOutput.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

class FixedClock final : public Clock
{
public:
    QDateTime now() const override { return m_now; }
    QDateTime m_now{QDate(2018, 3, 5), QTime(16, 45, 12)};
};

const Tickets::Member dupont{QStringLiteral("Marie"), QStringLiteral("DUPONT"), QStringLiteral("1234567"),
                             QStringLiteral("Mme Marie DUPONT")};
const Tickets::Member sansprenom{QString(), QStringLiteral("MARTIN"), QStringLiteral("7654321"),
                                 QStringLiteral("M.  MARTIN")};
const Tickets::Coupon coupon750{QStringLiteral("TRK750"), QStringLiteral("30/06/2018"),
                                QStringLiteral("7.5")};
const Tickets::Coupon coupon20{QStringLiteral("TRK20"), QStringLiteral("31/12/2018"), QStringLiteral("20")};
const QStringList pharmacie{QStringLiteral("Pharmacie du Marché"), QStringLiteral("1 place du Marché"),
                            QString(), QStringLiteral("35000"), QStringLiteral("Rennes")};

QString pdftext(const QString& file)
{
    QProcess pdftotext;
    pdftotext.start(QStringLiteral("pdftotext"), {file, QStringLiteral("-")});
    if (!pdftotext.waitForFinished() || pdftotext.exitCode() != 0)
        return {};
    return QString::fromUtf8(pdftotext.readAllStandardOutput());
}

} // namespace

Q_DECLARE_METATYPE(Tickets::Ticket)

class TestTickets : public QObject
{
    Q_OBJECT
private slots:
    void init() { m_clock = FixedClock(); }

    void fills_data()
    {
        QTest::addColumn<Tickets::Ticket>("ticket");
        QTest::addColumn<bool>("firstname");
        QTest::addColumn<QString>("entete");
        QTest::addColumn<QString>("valid");
        QTest::addColumn<QString>("trackcode");

        const QString valid750 = QStringLiteral("Ce coupon est valable jusqu'au 30/06/2018");
        const QString valid20 = QStringLiteral("Ce coupon est valable jusqu'au 31/12/2018");
        const QString after750 = QStringLiteral(
            ",\n\nVous avez atteint 100 points et la Pharmacie du Marché est heureuse de vous faire "
            "bénéficier d'un  BON D'ACHAT de 7,50 € ");
        const QString after20 = QStringLiteral(
            ",\nVous avez atteint 200 points et la Pharmacie du Marché est heureuse de vous faire "
            "bénéficier d'un  BON D'ACHAT de 20 € ");
        const QString afterpoints =
            QStringLiteral(",\n\nAu 5 mars 2018 vous avez 123 points sur votre Quilba !\n\n"
                           "Continuez à cumuler des points, votre fidélité sera bientôt récompensée !\n"
                           "A 100 points, vous pourrez bénéficier d'un bon d'achat de 7,50€, ou attendre le "
                           "prochain palier.\n"
                           "A 200 points, vous bénéficierez d'un bon d'achat de 20€, valable 90 jours dans "
                           "votre pharmacie.\n ");

        QTest::newRow("7,50 €") << Tickets::Ticket::Coupon750 << true
                                << QStringLiteral("Bonjour Marie DUPONT") + after750 << valid750
                                << QStringLiteral("TRK750");
        QTest::newRow("7,50 €, no first name")
            << Tickets::Ticket::Coupon750 << false << QStringLiteral("Bonjour  MARTIN") + after750 << valid750
            << QStringLiteral("TRK750");
        QTest::newRow("20 €") << Tickets::Ticket::Coupon20 << true
                              << QStringLiteral("Bonjour Marie DUPONT") + after20 << valid20
                              << QStringLiteral("TRK20");
        QTest::newRow("20 €, no first name")
            << Tickets::Ticket::Coupon20 << false << QStringLiteral("Bonjour  MARTIN") + after20 << valid20
            << QStringLiteral("TRK20");
        QTest::newRow("points") << Tickets::Ticket::Points << true
                                << QStringLiteral("Bonjour Marie DUPONT") + afterpoints << QString()
                                << QString();
        QTest::newRow("points, no first name")
            << Tickets::Ticket::Points << false << QStringLiteral("Bonjour  MARTIN") + afterpoints
            << QString() << QString();
    }
    void fills()
    {
        QFETCH(Tickets::Ticket, ticket);
        QFETCH(bool, firstname);
        QFETCH(QString, entete);
        QFETCH(QString, valid);
        QFETCH(QString, trackcode);
        const Tickets::Member& member = firstname ? dupont : sansprenom;
        const Tickets tickets(m_clock);
        const ReportLayout filled =
            ticket == Tickets::Ticket::Points
                ? tickets.fillpoints(member, QStringLiteral("123"))
                : tickets.fillcoupon(ticket, member,
                                     ticket == Tickets::Ticket::Coupon20 ? coupon20 : coupon750, pharmacie);
        QCOMPARE(filled.name(), Tickets::layoutname(ticket));
        QCOMPARE(filled.text(QStringLiteral("entete")), entete);
        QCOMPARE(filled.text(QStringLiteral("cardnumber")), member.cardnumber);
        QCOMPARE(filled.text(QStringLiteral("porteur")), member.bearer);
        QCOMPARE(filled.text(QStringLiteral("valid")), valid);
        QCOMPARE(filled.text(QStringLiteral("trackcode")), trackcode);
        // The fixed texts are the layout's own.
        QCOMPARE(filled.text(QStringLiteral("Memo2")), QStringLiteral("VOS INFOMATIONS QUILBA"));
        QCOMPARE(filled.text(QStringLiteral("Memo3")), QStringLiteral("Numéro Carte :"));
        QVERIFY(filled.text(QStringLiteral("Memo7"))
                    .endsWith(QStringLiteral("A très bientôt dans votre pharmacie ! ")));
    }

    // Before any member is shown the points ticket still prints, with empty names and points.
    void pointsTicketWithoutMember()
    {
        const Tickets tickets(m_clock);
        const ReportLayout filled = tickets.fillpoints({}, QString());
        QVERIFY(filled.text(QStringLiteral("entete"))
                    .startsWith(
                        QStringLiteral("Bonjour  ,\n\nAu 5 mars 2018 vous avez  points sur votre Quilba !")));
        QCOMPARE(filled.text(QStringLiteral("cardnumber")), QString());
        QCOMPARE(filled.text(QStringLiteral("porteur")), QString());
    }

    // Each placeholder is replaced in turn, exactly as written; the ticket leaves alone those it
    // does not fill.
    void placeholdersInNames()
    {
        const Tickets tickets(m_clock);
        const Tickets::Member member{QStringLiteral("{@M.NAME}"), QStringLiteral("{@nbpoints}"), {}, {}};
        const QString points =
            tickets.fillpoints(member, QStringLiteral("42")).text(QStringLiteral("entete"));
        QVERIFY2(points.startsWith(QStringLiteral("Bonjour {@M.NAME} 42,")), qPrintable(points));
        const Tickets::Member group{
            QStringLiteral("{@m.group.salesDescr}"), QStringLiteral("{@datedujour}"), {}, {}};
        const QString coupon = tickets.fillcoupon(Tickets::Ticket::Coupon20, group, coupon20, pharmacie)
                                   .text(QStringLiteral("entete"));
        QVERIFY2(coupon.startsWith(QStringLiteral("Bonjour Pharmacie du Marché {@datedujour},")),
                 qPrintable(coupon));
    }

    // Every print starts again from the saved header: the same ticket twice reads the same, and a
    // second member's ticket carries that member's names.
    void printedTwiceGivesTheSameHeader()
    {
        const Tickets tickets(m_clock);
        RecordingReportOutput output;
        QVERIFY(tickets.printpoints(dupont, QStringLiteral("87"), output));
        QVERIFY(tickets.printpoints(dupont, QStringLiteral("87"), output));
        QVERIFY(tickets.printcoupon(dupont, coupon20, pharmacie, output));
        QVERIFY(tickets.printcoupon(dupont, coupon20, pharmacie, output));
        QVERIFY(tickets.printcoupon(sansprenom, coupon20, pharmacie, output));
        QCOMPARE(output.printed().size(), 5);
        const auto entete = [&](int i) { return output.printed().at(i).text(QStringLiteral("entete")); };
        QCOMPARE(entete(1), entete(0));
        QVERIFY(entete(0).startsWith(QStringLiteral("Bonjour Marie DUPONT,")));
        QCOMPARE(entete(3), entete(2));
        QVERIFY(entete(4).startsWith(QStringLiteral("Bonjour  MARTIN,")));
        for (auto ticket : {Tickets::Ticket::Coupon750, Tickets::Ticket::Coupon20, Tickets::Ticket::Points}) {
            QVERIFY(tickets.header(ticket).startsWith(QStringLiteral("Bonjour {@m.firstname} {@m.name},")));
            QCOMPARE(tickets.layout(ticket).text(QStringLiteral("entete")), tickets.header(ticket));
        }
    }

    void frenchDate_data()
    {
        QTest::addColumn<QDate>("date");
        QTest::addColumn<QString>("text");
        QTest::newRow("5 March 2018") << QDate(2018, 3, 5) << QStringLiteral("5 mars 2018");
        QTest::newRow("1 February") << QDate(2021, 2, 1) << QStringLiteral("1 février 2021");
        QTest::newRow("15 August") << QDate(2024, 8, 15) << QStringLiteral("15 août 2024");
        QTest::newRow("31 December") << QDate(1999, 12, 31) << QStringLiteral("31 décembre 1999");
    }
    void frenchDate()
    {
        QFETCH(QDate, date);
        QFETCH(QString, text);
        // Whatever the machine's own language.
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        m_clock.m_now = QDateTime(date, QTime(23, 59, 59));
        const Tickets tickets(m_clock);
        const QString entete =
            tickets.fillpoints(dupont, QStringLiteral("10")).text(QStringLiteral("entete"));
        QVERIFY2(entete.contains(QStringLiteral("\nAu ") + text + QStringLiteral(" vous avez 10 points")),
                 qPrintable(entete));
        QLocale::setDefault(QLocale::system());
    }

    void couponValue_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("layout");
        const QString l750 = QStringLiteral("Repcoupon750");
        const QString l20 = QStringLiteral("Repcoupon20");
        QTest::newRow("7.5") << QStringLiteral("7.5") << l750;
        QTest::newRow("7,5") << QStringLiteral("7,5") << l750;
        QTest::newRow("7.50") << QStringLiteral("7.50") << l750;
        QTest::newRow("20") << QStringLiteral("20") << l20;
        QTest::newRow("20.0") << QStringLiteral("20.0") << l20;
        QTest::newRow("10") << QStringLiteral("10") << QString();
        QTest::newRow("7.49") << QStringLiteral("7.49") << QString();
        QTest::newRow("not a number") << QStringLiteral("vingt") << QString();
        QTest::newRow("two points") << QStringLiteral("7.5.0") << QString();
        QTest::newRow("empty row") << QString() << QString();
    }
    void couponValue()
    {
        QFETCH(QString, value);
        QFETCH(QString, layout);
        const Tickets tickets(m_clock);
        RecordingReportOutput output;
        Tickets::Coupon coupon = coupon750;
        coupon.value = value;
        QCOMPARE(tickets.printcoupon(dupont, coupon, pharmacie, output), !layout.isEmpty());
        QCOMPARE(output.printed().size(), layout.isEmpty() ? 0 : 1);
        if (!layout.isEmpty())
            QCOMPARE(output.printed().first().name(), layout);
    }

    // Each ticket as a PDF file of its own, whose text holds the greeting, the card number and,
    // for a coupon, its validity.
    void pdf_data()
    {
        QTest::addColumn<Tickets::Ticket>("ticket");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("Repcoupon750")
            << Tickets::Ticket::Coupon750
            << QStringList{QStringLiteral("Bonjour Marie DUPONT,"), QStringLiteral("1234567"),
                           QStringLiteral("Mme Marie DUPONT"),
                           QStringLiteral("Ce coupon est valable jusqu'au 30/06/2018"),
                           QStringLiteral("TRK750")};
        QTest::newRow("Repcoupon20") << Tickets::Ticket::Coupon20
                                     << QStringList{
                                            QStringLiteral("Bonjour Marie DUPONT,"),
                                            QStringLiteral("1234567"),
                                            QStringLiteral("Ce coupon est valable jusqu'au 31/12/2018"),
                                            QStringLiteral("TRK20")};
        QTest::newRow("reppoints") << Tickets::Ticket::Points
                                   << QStringList{
                                          QStringLiteral("Bonjour Marie DUPONT,"), QStringLiteral("1234567"),
                                          QStringLiteral("Au 5 mars 2018 vous avez 123 points sur votre "
                                                         "Quilba !")};
    }
    void pdf()
    {
        QFETCH(Tickets::Ticket, ticket);
        QFETCH(QStringList, lines);
        QVERIFY2(!QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty(),
                 "pdftotext (poppler-utils) is installed by ./run deps");
        QTemporaryDir dir;
        PdfReportOutput output(dir.filePath(QStringLiteral("tickets")));
        const Tickets tickets(m_clock);
        for (int copy = 1; copy <= 2; ++copy) {
            if (ticket == Tickets::Ticket::Points)
                QVERIFY(tickets.printpoints(dupont, QStringLiteral("123"), output));
            else
                QVERIFY(tickets.printcoupon(
                    dupont, ticket == Tickets::Ticket::Coupon20 ? coupon20 : coupon750, pharmacie, output));
            // One file per document: the second print does not overwrite the first.
            const QString file =
                dir.filePath(QStringLiteral("tickets/%1-%2.pdf").arg(Tickets::layoutname(ticket)).arg(copy));
            QCOMPARE(output.lastfile(), file);
            QVERIFY(QFile::exists(file));
        }
        const QStringList text = pdftext(output.lastfile()).split(u'\n');
        for (const QString& line : lines)
            QVERIFY2(text.contains(line), qPrintable(line + QStringLiteral(" not in:\n") + text.join(u'\n')));
    }

    void pdfFolderThatCannotBeMade()
    {
        QTemporaryDir dir;
        QFile blocker(dir.filePath(QStringLiteral("fichier")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        PdfReportOutput output(dir.filePath(QStringLiteral("fichier/tickets")));
        const Tickets tickets(m_clock);
        QVERIFY(!tickets.printpoints(dupont, QStringLiteral("1"), output));
        QVERIFY(output.lastfile().isEmpty());
    }

private:
    FixedClock m_clock;
};

QTEST_MAIN(TestTickets)
#include "tst_tickets.moc"
