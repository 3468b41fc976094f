#pragma once

#include <QJsonObject>
#include <QString>
#include <vector>

// What one counter of the soak did and was told, one JSON object a line, appended and flushed to
// the disk line by line, so that a counter killed at any moment leaves every line it wrote whole
// and no line of a step it had not finished. Every line has "c" (the counter's name), "i" (its
// incarnation: 1, then one more at each restart) and "e" (what happened):
//   start                      the counter started
//   call   k, n|coupon|card,   a step begins: k is "sale", "coupon", "lookup", "refresh" or
//          typed, a             "next"; typed is the sale number whose inputs are on the counter;
//                               a sale's attempt a is the code of its one product line
//   told   k, result, texts    that step ended: the outcome's result and the texts told
//   question text, answer      a box asked the pharmacist
//   deleted n                  the pharmacist deleted that kept sale
namespace SoakLog {

// Appends one line (the object with "t", the time in milliseconds, added) and flushes it to the
// disk; false when it could not.
class Writer final
{
public:
    Writer(const QString& path, const QString& counter, int incarnation);
    ~Writer();
    Writer(const Writer&) = delete;
    Writer& operator=(const Writer&) = delete;

    bool opened() const { return m_fd >= 0; }
    bool write(const QString& event, QJsonObject line);

private:
    int m_fd = -1;
    QString m_counter;
    int m_incarnation = 0;
};

// Every whole line of the file, in order; a last line cut short is left out.
std::vector<QJsonObject> read(const QString& path);

} // namespace SoakLog
