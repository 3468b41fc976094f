#pragma once

#include <QString>
#include <QStringList>

// The installed fonts that stand for the faces the layouts and windows were designed with, chosen
// by their metrics so that texts wrap and fit as designed: Calibri by Carlito, Arial and Arial
// Unicode MS by Liberation Sans, Tahoma by Wine's Tahoma. DejaVu Sans comes last in every list,
// only for the characters the first font lacks.
class Fonts final
{
public:
    // The families that draw a face named in a layout or a window ("@" vertical-writing names
    // included), first choice first. A face without a metric twin is asked for as it stands.
    static QStringList families(const QString& face);
    // Makes Wine's Tahoma known where fonts-wine put it outside the system's font folders, and
    // sets the same choices as substitutions for the windows' fonts. After the application object.
    static void install();
    // The folder where Debian's fonts-wine installs its fonts.
    static QString winefonts();
};
