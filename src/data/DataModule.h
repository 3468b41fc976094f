#pragma once

#include <QObject>

// Holds the program's shared in-memory tables for the whole run.
class DataModule final : public QObject
{
    Q_OBJECT
public:
    explicit DataModule(QObject* parent = nullptr);
};
