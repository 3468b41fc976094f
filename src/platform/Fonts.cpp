#include "platform/Fonts.h"

#include <QDir>
#include <QFont>
#include <QFontDatabase>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString kfallback = u"DejaVu Sans"_s;

} // namespace

QStringList Fonts::families(const QString& face)
{
    const QString name = face.startsWith(u'@') ? face.mid(1) : face;
    QString first = name;
    if (name.compare(u"Calibri", Qt::CaseInsensitive) == 0)
        first = u"Carlito"_s;
    else if (name.compare(u"Arial", Qt::CaseInsensitive) == 0 ||
             name.compare(u"Arial Unicode MS", Qt::CaseInsensitive) == 0)
        first = u"Liberation Sans"_s;
    else if (name.compare(u"Tahoma", Qt::CaseInsensitive) == 0)
        first = u"Tahoma"_s;
    if (first.isEmpty() || first.compare(kfallback, Qt::CaseInsensitive) == 0)
        return {kfallback};
    return {first, kfallback};
}

QString Fonts::winefonts()
{
    return u"/usr/share/wine/fonts"_s;
}

void Fonts::install()
{
    if (!QFontDatabase::hasFamily(u"Tahoma"_s)) {
        const QDir folder(winefonts());
        for (const QString& file : {u"tahoma.ttf"_s, u"tahomabd.ttf"_s}) {
            if (folder.exists(file))
                QFontDatabase::addApplicationFont(folder.filePath(file));
        }
    }
    for (const QString& face : {u"Calibri"_s, u"Arial"_s, u"Arial Unicode MS"_s, u"Tahoma"_s})
        QFont::insertSubstitutions(face, families(face));
}
