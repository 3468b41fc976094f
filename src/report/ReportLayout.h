#pragma once

#include "report/ReportObject.h"

#include <QByteArray>
#include <QList>
#include <QMarginsF>
#include <QPageLayout>
#include <QSizeF>
#include <QString>
#include <optional>

// A page layout held as data: the page, its margins, the page's font and the objects in drawing
// order. A layout is a value: filling one means setting texts and check states on a copy, so the
// stored layout keeps its texts for the next print.
class ReportLayout final
{
public:
    // Reads a layout file; on failure answers nothing and says why in `error`.
    static std::optional<ReportLayout> fromjson(const QByteArray& json, QString* error = nullptr);
    // The layout stored with the program as ":/layouts/<name>.json"; throws QuilbaError when it
    // is missing or unreadable.
    static ReportLayout fromresource(const QString& name);

    const QString& name() const { return m_name; }
    // What the document is called for the person who prints it ("Bon d'achat 7,50 €"); the name
    // when the layout gives none.
    const QString& title() const { return m_title; }
    // Page size and margins in millimetres.
    QSizeF pagesize() const { return m_pagesize; }
    QMarginsF margins() const { return m_margins; }
    QPageLayout pagelayout() const;
    const ReportObject::Font& font() const { return m_font; }
    const QList<ReportObject>& objects() const { return m_objects; }

    // The object of that name, or null.
    const ReportObject* object(const QString& name) const;
    // The text of the text object of that name; empty when there is none.
    QString text(const QString& name) const;
    // Sets the text of a text object; false when the layout has no text object of that name.
    bool settext(const QString& name, const QString& text);
    // Ticks or clears a check box; false when the layout has no check box of that name.
    bool setchecked(const QString& name, bool checked);

private:
    ReportObject* find(const QString& name, ReportObject::Kind kind);

    QString m_name;
    QString m_title;
    QSizeF m_pagesize{210.0, 297.0};
    QMarginsF m_margins{10.0, 10.0, 10.0, 10.0};
    ReportObject::Font m_font;
    QList<ReportObject> m_objects;
};
