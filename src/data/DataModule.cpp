#include "data/DataModule.h"

DataModule::DataModule(QObject* parent) : QObject(parent)
{
    setObjectName(QStringLiteral("formDM"));
}
