#include "data/DataModule.h"
#include "data/MemoryTable.h"

#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QStringList column(const MemoryTable& table, const QString& field)
{
    QStringList out;
    for (int row = 0; row < table.rowCount(); ++row)
        out.append(table.value(row, field).toString());
    return out;
}

} // namespace

class TestMemoryTable : public QObject
{
    Q_OBJECT
private slots:
    void listeMembreFieldsAndIndex()
    {
        DataModule dm;
        MemoryTable& table = dm.listeMembre();
        QStringList names;
        for (const MemoryTable::Field& field : table.fields())
            names << field.name + u':' + QString::number(field.size);
        QCOMPARE(names, (QStringList{u"id:20"_s, u"Numéro Carte:20"_s, u"Nom:10"_s, u"Prénom:20"_s,
                                     u"Adresse:30"_s, u"Code Postal:7"_s, u"Ville:30"_s, u"Nb Points:10"_s}));
        QCOMPARE(table.activeindex().name, u"idx1"_s);
        QCOMPARE(table.headerData(2, Qt::Horizontal).toString(), u"Nom"_s);
        QCOMPARE(table.rowCount(), 0);
    }

    void longTextsAreCutToTheirField()
    {
        DataModule dm;
        MemoryTable& table = dm.listeMembre();
        table.appendrow(
            {u"1"_s, u"1010011"_s, u"MONTMORENCY-LAVAL"_s, u"Anne-Sophie"_s, QString(), u"69001 CEDEX"_s});
        QCOMPARE(table.value(0, u"Nom"_s).toString(), u"MONTMORENC"_s);
        QCOMPARE(table.value(0, u"Prénom"_s).toString(), u"Anne-Sophie"_s);
        QCOMPARE(table.value(0, u"Code Postal"_s).toString(), u"69001 C"_s);
        // Values not given are empty.
        QCOMPARE(table.value(0, u"Nb Points"_s).toString(), QString());
    }

    void rowsFollowSurnameThenFirstName()
    {
        DataModule dm;
        MemoryTable& table = dm.listeMembre();
        const QList<QStringList> rows{
            {u"1"_s, {}, u"MARTIN"_s, u"Paul"_s},   {u"2"_s, {}, u"DUPONT"_s, u"Marie"_s},
            {u"3"_s, {}, u"DUPONT"_s, u"Jean"_s},   {u"4"_s, {}, u"ÉMERY"_s, u"Léa"_s},
            {u"5"_s, {}, u"DUPONT"_s, u"Jean"_s},   {u"6"_s, {}, u"Dupont"_s, u"Anne"_s},
            {u"7"_s, {}, u"DUPONTEL"_s, u"Agnès"_s}};
        QSignalSpy inserted(&table, &QAbstractItemModel::rowsInserted);
        for (const QStringList& row : rows)
            table.appendrow(QVariantList(row.begin(), row.end()));
        QCOMPARE(inserted.size(), rows.size());
        // French order (É with E), letter case counting; equal names keep the order they came in.
        QCOMPARE(column(table, u"id"_s),
                 (QStringList{u"6"_s, u"3"_s, u"5"_s, u"2"_s, u"7"_s, u"4"_s, u"1"_s}));

        table.clear();
        QCOMPARE(table.rowCount(), 0);
    }

    // Many rows at once land where appendrow would put them one after the other, rows already
    // there included, and the views hear of it once.
    void appendrowsMatchesAppendrow()
    {
        const QList<QStringList> before{{u"1"_s, {}, u"DUPONT"_s, u"Jean"_s},
                                        {u"2"_s, {}, u"MARTIN"_s, u"Paul"_s}};
        const QList<QStringList> added{
            {u"3"_s, {}, u"DUPONT"_s, u"Jean"_s}, {u"4"_s, {}, u"ÉMERY"_s, u"Léa"_s},
            {u"5"_s, {}, u"MARTIN"_s, u"Paul"_s}, {u"6"_s, {}, u"ABADIE"_s, u"Luc"_s},
            {u"7"_s, {}, u"DUPONT"_s, u"Jean"_s}, {u"8"_s, {}, u"MONTMORENCY-LAVAL"_s, u"Anne"_s}};
        DataModule one;
        DataModule all;
        std::vector<QVariantList> rows;
        for (const QStringList& row : before) {
            one.listeMembre().appendrow(QVariantList(row.begin(), row.end()));
            all.listeMembre().appendrow(QVariantList(row.begin(), row.end()));
        }
        for (const QStringList& row : added) {
            one.listeMembre().appendrow(QVariantList(row.begin(), row.end()));
            rows.emplace_back(row.begin(), row.end());
        }
        QSignalSpy reset(&all.listeMembre(), &QAbstractItemModel::modelReset);
        all.listeMembre().appendrows(rows);
        QCOMPARE(reset.size(), 1);
        QCOMPARE(column(all.listeMembre(), u"id"_s), column(one.listeMembre(), u"id"_s));
        QCOMPARE(column(all.listeMembre(), u"Nom"_s), column(one.listeMembre(), u"Nom"_s));
        QCOMPARE(column(all.listeMembre(), u"id"_s),
                 (QStringList{u"6"_s, u"1"_s, u"3"_s, u"7"_s, u"4"_s, u"2"_s, u"5"_s, u"8"_s}));
    }

    void descendingIndexAndNumbers()
    {
        using Type = MemoryTable::Type;
        MemoryTable table(u"t"_s, {{u"uDate"_s, Type::Text, 20}, {u"n"_s, Type::Integer, 0}});
        table.appendrow({u"2018-02-26 09:19:42"_s, 1});
        table.appendrow({u"2018-03-01 10:00:00"_s, 2});
        table.appendrow({u"2017-12-31 23:59:59"_s, 3});
        table.setindex({u"idx1"_s, u"uDate"_s, true});
        QCOMPARE(column(table, u"n"_s), (QStringList{u"2"_s, u"1"_s, u"3"_s}));
        table.setindex({u"byn"_s, u"n"_s, false});
        QCOMPARE(column(table, u"n"_s), (QStringList{u"1"_s, u"2"_s, u"3"_s}));
    }

    void editingCutsTooAndOnlyWhenEditable()
    {
        using Type = MemoryTable::Type;
        MemoryTable table(u"enfants"_s, {{u"Sexe"_s, Type::Text, 5}});
        table.appendrow({u"A"_s});
        QVERIFY(!table.setData(table.index(0, 0), u"B"_s));
        QVERIFY(!(table.flags(table.index(0, 0)) & Qt::ItemIsEditable));
        table.seteditable(true);
        QVERIFY(table.setData(table.index(0, 0), u"ABCDEFG"_s));
        QCOMPARE(table.value(0, 0).toString(), u"ABCDE"_s);
    }
};

QTEST_GUILESS_MAIN(TestMemoryTable)
#include "tst_memorytable.moc"
