#pragma once

#include <QObject>

class MemoryTable;

// Holds the program's shared in-memory tables for the whole run.
class DataModule final : public QObject
{
    Q_OBJECT
public:
    explicit DataModule(QObject* parent = nullptr);

    // The members of a lookup's list reply, while the choice dialog shows them; sorted by the
    // index "idx1" on surname, then first name.
    MemoryTable& listeMembre() { return *m_listeMembre; }

    // The lines of the member's history while the history window shows them; newest first by the
    // index "idx1" on "uDate" descending.
    MemoryTable& historique() { return *m_historique; }

    // The fields of listeMembre, in order, with their sizes.
    static MemoryTable* createlisteMembre(QObject* parent);
    // The fields of historique, in order, with their sizes.
    static MemoryTable* createhistorique(QObject* parent);

private:
    MemoryTable* m_listeMembre;
    MemoryTable* m_historique;
};
