#include "OperatorPage.h"

#include "Encoding.h"
#include "Money.h"

#include <map>
#include <set>

namespace {

using encoding::htmlEscape;

std::string cell(const std::string& text)
{
    return "<td>" + htmlEscape(text) + "</td>";
}

std::string couponState(const CouponRecord& c, const std::string& now)
{
    if (c.status1.value_or(false))
        return "Supprimé le " + c.dateUpdateStatus1;
    if (c.status2.value_or(false))
        return "Utilisé le " + c.dateUpdateStatus2;
    if (c.endDate <= now)
        return "Expiré";
    if (c.startDate > now)
        return "À venir";
    return "Ouvert";
}

std::string eventLabel(const std::string& type)
{
    if (type == "addCA")
        return "Vente";
    if (type == "addPoint")
        return "Points";
    if (type == "usedcoupon")
        return "Coupon utilisé";
    return type;
}

constexpr const char* kStyle = R"(
body { font-family: Calibri, Carlito, sans-serif; margin: 1.5em; color: #222; }
h1 { color: #006400; }
table { border-collapse: collapse; margin-bottom: 1.5em; }
th, td { border: 1px solid #bbb; padding: 2px 8px; text-align: left; }
th { background: #e8f3e8; }
td.n { text-align: right; }
)";

} // namespace

OperatorPage::OperatorPage(Store& store, const AccountList& accounts, const Clock& clock)
    : m_store(store), m_accounts(accounts), m_clock(clock)
{
}

std::string OperatorPage::render(const std::string& programme, std::optional<long long> member)
{
    Store::Transaction transaction(m_store);
    const std::string now = m_clock.now();
    const auto members = m_store.allMembers();
    const auto coupons = m_store.allCoupons();
    std::map<long long, const MemberRecord*> byId;
    std::set<std::string> groups;
    for (const auto& a : m_accounts.accounts())
        groups.insert(a.group);
    for (const auto& m : members) {
        byId[m.id] = &m;
        groups.insert(m.group);
    }

    std::string html = "<!DOCTYPE html>\n<html lang=\"fr\"><head><meta charset=\"utf-8\">"
                       "<title>Plateforme de fidélité — espace opérateur</title><style>" +
                       std::string(kStyle) + "</style></head><body>\n";
    html += "<h1>Plateforme de fidélité — espace opérateur</h1>\n<p>Consultation seule";
    if (!programme.empty())
        html += " — programme " + htmlEscape(programme);
    html += ". Situation au " + htmlEscape(now) + ".</p>\n";
    const std::string link = "login.jsp?rcg=" + htmlEscape(programme) + "&amp;member=";

    if (member) {
        const auto it = byId.find(*member);
        if (it == byId.end()) {
            html += "<p>Adhérent " + std::to_string(*member) + " inconnu.</p>\n";
        } else {
            const MemberRecord& m = *it->second;
            html += "<h2>Historique de " + htmlEscape(m.firstname + " " + m.name) + " (carte " +
                    htmlEscape(m.cardnumber) +
                    ")</h2>\n<table><tr><th>Date</th><th>Événement</th><th>Valeur</th>"
                    "<th>Vendeur</th><th>N° vente</th><th>Commentaire</th><th>Lignes</th></tr>\n";
            for (const auto& e : m_store.events(m.id)) {
                html += "<tr>" + cell(e.date) + cell(eventLabel(e.type)) + "<td class=\"n\">" +
                        htmlEscape(e.fvalue) + "</td>" + cell(e.sparam) + cell(e.idExternal) +
                        cell(e.comment) + "<td class=\"n\">" + std::to_string(m_store.details(e.id).size()) +
                        "</td></tr>\n";
            }
            html += "</table>\n<p><a href=\"login.jsp?rcg=" + htmlEscape(programme) + "\">Retour</a></p>\n";
        }
    }

    for (const auto& group : groups) {
        const Account* account = m_accounts.byGroup(group);
        html += "<h2>" + htmlEscape(account != nullptr ? account->name : "Pharmacie " + group) + " (" +
                htmlEscape(group) + ")</h2>\n";
        html += "<table><tr><th>Id</th><th>N° carte</th><th>Nom</th><th>Prénom</th><th>Points</th>"
                "<th>Dernière vente</th><th>Actif</th><th>Événements</th></tr>\n";
        for (const auto& m : members) {
            if (m.group != group)
                continue;
            html += "<tr>" + cell(std::to_string(m.id)) + cell(m.cardnumber) + cell(m.name) +
                    cell(m.firstname) + "<td class=\"n\">" + std::to_string(m.points) + "</td>" +
                    cell(m.lastSale) + cell(m.actif ? "oui" : "non") + "<td class=\"n\"><a href=\"" + link +
                    std::to_string(m.id) + "\">" + std::to_string(m_store.eventCount(m.id)) +
                    "</a></td></tr>\n";
        }
        html +=
            "</table>\n<h3>Coupons</h3>\n<table><tr><th>Id</th><th>Adhérent</th><th>Code</th><th>Valeur</th>"
            "<th>Début</th><th>Fin</th><th>État</th></tr>\n";
        for (const auto& c : coupons) {
            if (c.group != group)
                continue;
            const auto owner = byId.find(c.memberId);
            const std::string who = owner == byId.end()
                                        ? std::to_string(c.memberId)
                                        : owner->second->firstname + " " + owner->second->name;
            html += "<tr>" + cell(std::to_string(c.id)) + cell(who) + cell(c.trackCode) + "<td class=\"n\">" +
                    htmlEscape(Money::format(c.valueCents)) + " €</td>" + cell(c.startDate) +
                    cell(c.endDate) + cell(couponState(c, now)) + "</tr>\n";
        }
        html += "</table>\n";
    }
    html += "</body></html>\n";
    transaction.commit();
    return html;
}
