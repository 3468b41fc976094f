#include "counter/CounterKeys.h"

#include <QStringList>

using namespace Qt::StringLiterals;

const QList<CounterKeys::Key>& CounterKeys::buttons()
{
    static const QList<Key> keys{
        {u"btsearch"_s, QKeySequence(Qt::Key_F2), QString(),
         u"Chercher / Actualiser (curseur dans la recherche, son texte sélectionné)"_s},
        {u"ToolButton1"_s, QKeySequence(Qt::Key_F3), QString(), u"ADHESION"_s},
        {u"ToolButton2"_s, QKeySequence(Qt::Key_F4), QString(), u"MODIFICATION"_s},
        {u"ToolButton3"_s, QKeySequence(Qt::Key_F5), QString(), u"HISTORIQUE"_s},
        {u"btnadd"_s, QKeySequence(Qt::Key_F9), QString(), u"Valider Vente"_s},
        {u"add10pts"_s, QKeySequence(Qt::Key_F10), QString(), u"10 Points"_s},
        {u"SpeedButton2"_s, QKeySequence(Qt::Key_F12), QString(),
         u"Client Suivant (curseur dans la recherche)"_s},
        {u"btnprintpoints"_s, QKeySequence(Qt::CTRL | Qt::Key_P), QString(), u"ticket de points"_s},
        {u"ToolButton6"_s, QKeySequence(Qt::ALT | Qt::Key_A), QString(), u"ADELYA"_s},
        {u"ToolButton5"_s, QKeySequence(Qt::ALT | Qt::Key_P), QString(), u"PARAMETRES"_s},
        {u"nbInsert"_s, QKeySequence(Qt::Key_Insert), u"dbgridproduits"_s,
         u"grille des produits : ajoute une ligne"_s},
        {u"nbDelete"_s, QKeySequence(Qt::CTRL | Qt::Key_Delete), u"dbgridproduits"_s,
         u"grille des produits : supprime la ligne, après confirmation"_s},
    };
    return keys;
}

QList<CounterKeys::Window> CounterKeys::windows()
{
    QList<Line> counter;
    for (const Key& key : buttons())
        counter.append({keyname(key.sequence), key.action});
    counter.append({
        {u"F2"_s, u"grille des produits : modifie la cellule (la recherche n'est pas lancée)"_s},
        {u"Entrée, Espace"_s,
         u"grille des coupons : « Utiliser » utilise le coupon, « Imprimer » l'imprime"_s},
        {u"Tab, flèches"_s, u"passent d'un contrôle à l'autre, d'une ligne ou d'une cellule à l'autre"_s},
    });
    return {
        {u"du comptoir"_s, counter},
        {u"du formulaire d'adhésion"_s,
         {{u"Alt+V, Alt+Q, Alt+I"_s, u"Valider, Quitter, Impression"_s},
          {u"Échap"_s, u"Quitter, après confirmation"_s},
          {u"Entrée"_s, u"champ suivant"_s},
          {u"Inser"_s, u"grille des enfants : ajoute un enfant"_s},
          {u"Espace"_s, u"grille des enfants, colonne Suppression : coche ou décoche"_s}}},
        {u"du choix du membre"_s, {{u"Entrée"_s, u"choisit le membre"_s}, {u"Échap"_s, u"annule"_s}}},
        {u"de l'historique"_s, {{u"Entrée, Échap"_s, u"ferme la fenêtre"_s}}},
    };
}

QString CounterKeys::keyname(const QKeySequence& sequence)
{
    QStringList parts = sequence.toString(QKeySequence::PortableText).split(u'+');
    for (QString& part : parts) {
        if (part == u"Ins"_s)
            part = u"Inser"_s;
        else if (part == u"Del"_s)
            part = u"Suppr"_s;
    }
    return parts.join(u'+');
}

QString CounterKeys::tooltip(const QString& description, const QKeySequence& sequence)
{
    return description + u" ("_s + keyname(sequence) + u')';
}

QString CounterKeys::helptext()
{
    QString text;
    for (const Window& window : windows()) {
        text += u"Touches "_s + window.title + u" :\n"_s;
        for (const Line& line : window.lines)
            text += u"  "_s + line.keys.leftJustified(20) + u' ' + line.action + u'\n';
    }
    return text;
}
