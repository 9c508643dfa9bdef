#include "panes/dialogtemplate.h"

#include <QFontDatabase>
#include <QFontMetrics>

#include <cmath>

namespace dialogtemplate {

namespace {
// Rounds a * b / c to the nearest integer, halves away from zero.
int mulDiv(int a, int b, int c)
{
    return static_cast<int>(std::lround(static_cast<double>(a) * b / c));
}
} // namespace

QFont templateFont()
{
    // Gulim is registered under its Korean name on some systems and its
    // Latin one on others.
    const QString family = QString::fromUtf16(kTemplateFamily);
    for (const QString &candidate : {family, QStringLiteral("Gulim")}) {
        if (QFontDatabase::hasFamily(candidate))
            return QFont(candidate, kTemplatePointSize);
    }
    return QFont(QString::fromUtf16(kFallbackFamily), kTemplatePointSize);
}

QSize unitsToPixels(QSize units, const QFont &font)
{
    const QFontMetrics metrics(font);
    // The font's declared average, not one measured over the Latin
    // alphabet: 굴림's Latin letters are half its em wide, a stand-in's are
    // proportional and wider, and measuring them would widen the pane by a
    // sixth for the same template.
    const int baseX = metrics.averageCharWidth();
    const int baseY = metrics.height();
    return QSize(mulDiv(units.width(), baseX, 4), mulDiv(units.height(), baseY, 8));
}

} // namespace dialogtemplate
