#include "SoakCheck.h"

#include "counter/Coupons.h"
#include "counter/Reconciliation.h"
#include "counter/Sale.h"

#include <QJsonArray>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace SoakCheck {

namespace {

// What one step said of a sale number or a coupon.
enum class Word
{
    Recorded,
    NotRecorded, // found not recorded: the inputs stay to validate it again
    NotSent,     // certainly did not leave, and not kept
    Refused,
    Confirming, // "à confirmer": in the outbox until the platform's record settles it
    Kept,
    Blocked,   // nothing sent: another write of the member waits for confirmation
    Killed,    // the step was cut short
    Uncertain, // a step that may have settled it was cut short
};

QString wordname(Word word)
{
    switch (word) {
    case Word::Recorded:
        return u"enregistrée"_s;
    case Word::NotRecorded:
        return u"non enregistrée"_s;
    case Word::NotSent:
        return u"non envoyée"_s;
    case Word::Refused:
        return u"refusée"_s;
    case Word::Confirming:
        return u"à confirmer"_s;
    case Word::Kept:
        return u"mise en attente"_s;
    case Word::Blocked:
        return u"bloquée"_s;
    case Word::Killed:
        return u"interrompue"_s;
    case Word::Uncertain:
        return u"incertaine"_s;
    }
    return {};
}

struct Said
{
    Word word;
    QString attempt; // Killed: the attempt cut short
};

struct History
{
    QHash<QString, std::vector<Said>> sales;
    QStringList order; // sale numbers in the order first seen
    QHash<QString, std::vector<Word>> coupons;
    QSet<QString> deleted;

    void say(const QString& number, Word word, const QString& attempt = {})
    {
        if (!sales.contains(number))
            order.append(number);
        sales[number].push_back({word, attempt});
    }
};

// The word a finished sale step says of its number.
Word saleword(const QString& result, const QStringList& texts)
{
    if (texts.contains(Reconciliation::saleconfirmedmessage()))
        return Word::Recorded;
    if (texts.contains(Reconciliation::salenotrecordedmessage()))
        return Word::NotRecorded;
    if (result == u"kept")
        return Word::Kept;
    if (texts.contains(Sale::confirmingmessage()) || texts.contains(Sale::unconfirmedmessage()))
        return Word::Confirming;
    if (texts.contains(Sale::pendingmessage()))
        return Word::Blocked;
    if (result == u"done")
        return Word::Recorded;
    if (result == u"refused")
        return Word::Refused;
    if (result == u"notsent")
        return Word::NotSent;
    return Word::Blocked;
}

void readstep(const QJsonObject& call, const QJsonObject* told, History& history, Counts& counts)
{
    const QString kind = call.value(u"k"_s).toString();
    const QString typed = call.value(u"typed"_s).toString();
    QStringList texts;
    QString result;
    if (told) {
        for (const QJsonValue text : told->value(u"texts"_s).toArray())
            texts.append(text.toString());
        result = told->value(u"result"_s).toString();
    } else {
        ++counts.killed;
    }
    if (kind == u"sale") {
        ++counts.sales;
        const QString number = call.value(u"n"_s).toString();
        if (!told) {
            history.say(number, Word::Killed, call.value(u"a"_s).toString());
            return;
        }
        const Word word = saleword(result, texts);
        history.say(number, word);
        counts.recorded += word == Word::Recorded;
        counts.confirming += word == Word::Confirming;
        counts.kept += word == Word::Kept;
        return;
    }
    if (kind == u"coupon") {
        ++counts.coupons;
        const QString coupon = call.value(u"coupon"_s).toString();
        if (told && result == u"done")
            history.coupons[coupon].push_back(Word::Recorded);
        else if (texts.contains(Coupons::notrecordedmessage()))
            history.coupons[coupon].push_back(Word::NotRecorded);
        else if (texts.contains(Coupons::confirmingusemessage()) ||
                 texts.contains(Coupons::unconfirmedmessage()))
            history.coupons[coupon].push_back(Word::Confirming);
    } else {
        ++counts.lookups;
    }
    // Any step may settle the sale whose inputs are on the counter, and says so.
    if (typed.isEmpty())
        return;
    if (!told)
        history.say(typed, Word::Uncertain);
    else if (texts.contains(Reconciliation::saleconfirmedmessage()))
        history.say(typed, Word::Recorded);
    else if (texts.contains(Reconciliation::salenotrecordedmessage()))
        history.say(typed, Word::NotRecorded);
}

QString words(const std::vector<Said>& said)
{
    QStringList names;
    for (const Said& one : said)
        names.append(wordname(one.word));
    return names.join(u", "_s);
}

} // namespace

Verdict check(const std::vector<std::vector<QJsonObject>>& logs, const Record& record)
{
    Verdict verdict;
    History history;
    for (const std::vector<QJsonObject>& log : logs) {
        const QJsonObject* call = nullptr;
        for (const QJsonObject& line : log) {
            const QString event = line.value(u"e"_s).toString();
            if (event == u"call") {
                if (call)
                    readstep(*call, nullptr, history, verdict.counts);
                call = &line;
            } else if (event == u"told") {
                if (call)
                    readstep(*call, &line, history, verdict.counts);
                call = nullptr;
            } else if (event == u"start") {
                // The incarnation before was killed in the middle of its step.
                if (call)
                    readstep(*call, nullptr, history, verdict.counts);
                call = nullptr;
            } else if (event == u"deleted") {
                history.deleted.insert(line.value(u"n"_s).toString());
                ++verdict.counts.deleted;
            }
        }
        if (call)
            readstep(*call, nullptr, history, verdict.counts);
    }

    QStringList& failures = verdict.failures;
    for (const QString& number : history.order) {
        const std::vector<Said>& said = history.sales.value(number);
        const int credited = record.credited.value(number);
        const QString story = u"vente %1 (%2) créditée %3 fois"_s.arg(number, words(said)).arg(credited);
        const bool deleted = history.deleted.contains(number);
        bool toldrecorded = false;
        const Said* last = nullptr;
        for (const Said& one : said) {
            toldrecorded = toldrecorded || one.word == Word::Recorded;
            if (one.word != Word::Blocked)
                last = &one;
        }
        // What the platform must hold of it: once, never, or at most once when the last step that
        // could settle it was cut short before it told anything.
        QString rule;
        int expected = -1;
        if (toldrecorded) {
            expected = 1;
            rule = u"dite enregistrée"_s;
        } else if (!last) {
            expected = 0;
            rule = u"jamais envoyée"_s;
        } else {
            switch (last->word) {
            case Word::Recorded:
            case Word::Uncertain:
                break;
            case Word::Confirming:
            case Word::Kept:
                expected = deleted ? -1 : 1;
                rule = u"à confirmer ou en attente"_s;
                break;
            case Word::Killed:
                if (!deleted && record.received.contains(last->attempt)) {
                    expected = 1;
                    rule = u"partie (%1 reçue par la plateforme) avant que son poste soit tué"_s.arg(
                        last->attempt);
                }
                break;
            case Word::NotRecorded:
            case Word::NotSent:
            case Word::Refused:
            case Word::Blocked:
                expected = 0;
                rule = u"dite non enregistrée"_s;
                break;
            }
        }
        if (expected == 1)
            ++verdict.counts.once;
        else if (expected == 0)
            ++verdict.counts.never;
        else
            ++verdict.counts.atmostonce;
        if (credited > 1)
            failures.append(story + u" : plus d'une fois"_s);
        else if (expected >= 0 && credited != expected)
            failures.append(story + u" : "_s + rule);
    }
    for (auto it = record.credited.begin(); it != record.credited.end(); ++it) {
        if (!history.sales.contains(it.key()))
            failures.append(
                u"vente %1 créditée %2 fois, inconnue des postes"_s.arg(it.key()).arg(it.value()));
    }
    for (auto it = history.coupons.begin(); it != history.coupons.end(); ++it) {
        const int used = record.used.value(it.key());
        if (std::find(it.value().begin(), it.value().end(), Word::Recorded) != it.value().end() && used != 1)
            failures.append(
                u"coupon %1 dit utilisé, utilisé %2 fois sur la plateforme"_s.arg(it.key()).arg(used));
    }
    for (auto it = record.used.begin(); it != record.used.end(); ++it) {
        if (it.value() > 1)
            failures.append(u"coupon %1 utilisé %2 fois"_s.arg(it.key()).arg(it.value()));
    }
    return verdict;
}

} // namespace SoakCheck
