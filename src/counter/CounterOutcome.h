#pragma once

#include "api/HttpClient.h"

#include <QString>
#include <QStringList>
#include <vector>

// What one step of the counter did: the requests it sent, what the platform answered, what the
// pharmacist is told, in order, and what changed on the counter.
struct CounterOutcome
{
    enum class Result
    {
        Nothing,     // nothing was asked of the platform (empty search, No to a question…)
        Done,        // the platform answered and confirmed
        Refused,     // the platform answered no, or the reply could not be read
        NotSent,     // the request did not reach the platform, or was turned away unread
        Unconfirmed, // the request left but no readable answer came back: it may have landed
        Kept,        // the platform could not be reached: the sale is kept, to be sent later
    };

    struct Message
    {
        enum class Box
        {
            Information, // OK
            Exception,   // the standard error box
        };
        Box box = Box::Information;
        QString text;
    };

    Result result = Result::Nothing;
    // The request texts sent, in order.
    QStringList sent;
    // The replies, one per request sent (a failed transfer included).
    std::vector<HttpReply> replies;
    // What the pharmacist is told, in order.
    std::vector<Message> told;
    // A member was loaded: the keyboard goes to the product lines.
    bool loaded = false;

    void inform(const QString& text) { told.push_back({Message::Box::Information, text}); }
    void fail(const QString& text) { told.push_back({Message::Box::Exception, text}); }
    // The requests, replies and messages of a later step, after this one's.
    void append(const CounterOutcome& later);
    // The French texts told, in order.
    QStringList texts() const;
};
