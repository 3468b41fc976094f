#pragma once

#include "counter/Coupons.h"

#include <QString>
#include <vector>

// Everything the counter window shows of the customer at the counter, as values: the session
// changes it, the window paints it and sends back what the pharmacist types. Texts are exactly
// those of the controls named beside them.
struct CounterShown
{
    QString search;   // search
    QString name;     // lblnom: civility, first name and name
    QString address;  // lbladresse
    QString mail;     // lblmail
    QString mobile;   // lblmobile
    QString landline; // lblfixe
    QString lastsale; // lbldernvente, dd/mm/yyyy
    QString points;   // encours
    QString amount;   // addpoint
    QString number;   // ednumvente
    // One per row of listecoupons; a row without a coupon is empty. Two empty rows at first.
    std::vector<Coupons::Coupon> coupons = std::vector<Coupons::Coupon>(2);

    // The sales kept while the platform could not be reached, not yet sent (btventesenattente).
    int kept = 0;
    // The sales and coupon uses sent at the counter that the platform has not confirmed yet:
    // "1 vente à confirmer" (lblaconfirmer); empty when there is none.
    QString confirming;
    // Why the file of kept sales and writes to confirm cannot be used; empty when it can.
    QString outboxFailure;

    // The caption of btsearch and its picture: the refresh picture with "Actualiser".
    QString searchcaption = QStringLiteral("Chercher");
    bool refreshpicture = false;
    // What can be used. At start the sale buttons and the points ticket can, until the first
    // change of the search text or the first reset.
    bool products = false;    // dbgridproduits
    bool coupongrid = false;  // listecoupons
    bool amountfield = false; // addpoint
    bool sale = true;         // btnadd
    bool addten = true;       // add10pts
    bool pointsticket = true; // btnprintpoints
};
