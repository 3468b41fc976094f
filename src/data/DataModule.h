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

    // The fields of listeMembre, in order, with their sizes.
    static MemoryTable* createlisteMembre(QObject* parent);

private:
    MemoryTable* m_listeMembre;
};
