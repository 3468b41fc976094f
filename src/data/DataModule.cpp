#include "data/DataModule.h"

#include "data/MemoryTable.h"

using namespace Qt::StringLiterals;

DataModule::DataModule(QObject* parent)
    : QObject(parent), m_listeMembre(createlisteMembre(this)), m_historique(createhistorique(this))
{
    setObjectName(u"formDM"_s);
}

MemoryTable* DataModule::createlisteMembre(QObject* parent)
{
    using Type = MemoryTable::Type;
    auto* table = new MemoryTable(u"listeMembre"_s,
                                  {{u"id"_s, Type::Text, 20},
                                   {u"Numéro Carte"_s, Type::Text, 20},
                                   {u"Nom"_s, Type::Text, 10},
                                   {u"Prénom"_s, Type::Text, 20},
                                   {u"Adresse"_s, Type::Text, 30},
                                   {u"Code Postal"_s, Type::Text, 7},
                                   {u"Ville"_s, Type::Text, 30},
                                   {u"Nb Points"_s, Type::Text, 10}},
                                  parent);
    table->setindex({u"idx1"_s, u"Nom;Prénom"_s, false});
    return table;
}

MemoryTable* DataModule::createhistorique(QObject* parent)
{
    using Type = MemoryTable::Type;
    auto* table = new MemoryTable(u"historique"_s,
                                  {{u"uDate"_s, Type::Text, 20},
                                   {u"Date"_s, Type::Text, 20},
                                   {u"Type"_s, Type::Text, 50},
                                   {u"Commentaire"_s, Type::Text, 50},
                                   {u"Valeur"_s, Type::Text, 10}},
                                  parent);
    table->setindex({u"idx1"_s, u"uDate"_s, true});
    return table;
}
