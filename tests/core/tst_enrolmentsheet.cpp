#include "members/EnrolmentSheet.h"
#include "report/PdfReportOutput.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QStringList centre{u"Pharmacie du Centre"_s, u"3 place Bellecour"_s, QString(), u"69002"_s, u"Lyon"_s};

EnrolmentSheet::Fields durand()
{
    EnrolmentSheet::Fields fields;
    fields.cardnumber = u"4567890"_s;
    fields.civilite = u"MME"_s;
    fields.nom = u"DURAND"_s;
    fields.prenom = u"Éloïse"_s;
    fields.adresse = u"12 rue Neuve"_s;
    fields.adresse2 = u"Bât. B"_s;
    fields.cp = u"69001"_s;
    fields.ville = u"Lyon"_s;
    fields.datenaissance = u"25121980"_s;
    fields.mobile = u"0612345678"_s;
    fields.tel = u"0478000001"_s;
    fields.email = u"eloise@example.fr"_s;
    fields.emailoptin = true;
    return fields;
}

QString pdftext(const QString& file)
{
    QProcess pdftotext;
    pdftotext.start(u"pdftotext"_s, {file, u"-"_s});
    if (!pdftotext.waitForFinished() || pdftotext.exitCode() != 0)
        return {};
    return QString::fromUtf8(pdftotext.readAllStandardOutput());
}

} // namespace

class TestEnrolmentSheet : public QObject
{
    Q_OBJECT
private slots:
    void fills_data()
    {
        QTest::addColumn<bool>("empty");
        QTest::addColumn<QStringList>("texts"); // cardnumber … email, in the layout's order
        QTest::addColumn<bool>("optin");
        QTest::newRow("typed form") << false << QStringList{u"4567890"_s,
                                                            u"MME"_s,
                                                            u"DURAND"_s,
                                                            u"Éloïse"_s,
                                                            u"12 rue Neuve"_s,
                                                            u"Bât. B"_s,
                                                            u"69001"_s,
                                                            u"Lyon"_s,
                                                            u"25/12/1980"_s,
                                                            u"0612345678 0478000001"_s,
                                                            u"eloise@example.fr"_s}
                                    << true;
        QTest::newRow("empty create form")
            << true << QStringList{QString(), QString(), QString(), QString(), QString(), QString(),
                                   QString(), QString(), u"//"_s,   u" "_s,    QString()}
            << false;
    }
    void fills()
    {
        QFETCH(bool, empty);
        QFETCH(QStringList, texts);
        QFETCH(bool, optin);
        const EnrolmentSheet sheet;
        const ReportLayout filled = sheet.fill(empty ? EnrolmentSheet::Fields() : durand(), centre);
        const QStringList names{u"cardnumber"_s, u"civilite"_s, u"nom"_s,  u"prenom"_s,
                                u"adresse"_s,    u"adresse2"_s, u"cp"_s,   u"ville"_s,
                                u"dtn"_s,        u"tel"_s,      u"email"_s};
        for (qsizetype i = 0; i < names.size(); ++i)
            QCOMPARE(filled.text(names.at(i)), texts.at(i));
        QCOMPARE(filled.object(u"emailoptin"_s)->checked, optin);
        QCOMPARE(filled.text(u"cachet"_s), u"Pharmacie du Centre\n3 place Bellecour\n\n69002 Lyon\n"_s);
    }

    void telephoneLine()
    {
        EnrolmentSheet::Fields fields;
        fields.mobile = u"0612345678"_s;
        QCOMPARE(EnrolmentSheet().fill(fields, centre).text(u"tel"_s), u"0612345678 "_s);
    }

    // Every printing takes the settings of the moment, whatever their characters.
    void stampFollowsSettings()
    {
        const EnrolmentSheet sheet;
        QVERIFY(sheet.fill(durand(), centre).text(u"cachet"_s).startsWith(u"Pharmacie du Centre\n"_s));
        const QStringList changed{u"Pharmacie Łukasz Œuvre"_s, u"1 rue Haute"_s, u"BP 12"_s, u"35000"_s,
                                  u"Rennes"_s};
        QCOMPARE(sheet.fill(durand(), changed).text(u"cachet"_s),
                 u"Pharmacie Łukasz Œuvre\n1 rue Haute\nBP 12\n35000 Rennes\n"_s);
        QVERIFY(sheet.layout().text(u"cachet"_s).startsWith(u"{@m.group.salesDescr}"_s));
    }

    void pdf()
    {
        QVERIFY2(!QStandardPaths::findExecutable(u"pdftotext"_s).isEmpty(),
                 "pdftotext (poppler-utils) is installed by ./run deps");
        QTemporaryDir dir;
        PdfReportOutput output(dir.filePath(u"sheets"_s));
        QVERIFY(EnrolmentSheet().print(durand(), centre, output));
        QVERIFY(QFile::exists(output.lastfile()));
        // The title is bold Calibri, whose "tt" and "ti" ligatures the text extraction does not undo.

        const QString text = pdftext(output.lastfile());
        for (const QString& expected :
             {u"d'adhésion à"_s, u"à votre pharmacien"_s, u"DURAND"_s, u"Éloïse"_s, u"25/12/1980"_s,
              u"0612345678 0478000001"_s, u"Pharmacie du Centre"_s, u"69002 Lyon"_s,
              u"J'accepte d'être contacté par mon pharmacien par e-mail"_s})
            QVERIFY2(text.contains(expected), qPrintable(expected + u" not in:\n"_s + text));
    }
};

QTEST_MAIN(TestEnrolmentSheet)
#include "tst_enrolmentsheet.moc"
