#include "DesignFonts.h"

#include <QApplication>
#include <QFontDatabase>

namespace zandrel {

// The named family where it is installed, else a face of the same width class (the captions are
// sized for it), else the platform's default, at the given size.
static QFont designFont(const QString &family, double points)
{
    QFont font = QApplication::font();
    const QStringList installed = QFontDatabase::families();
    for (const QString &candidate : {family, QStringLiteral("Microsoft Sans Serif"), QStringLiteral("Arial"),
                                     QStringLiteral("Liberation Sans")}) {
        if (installed.contains(candidate)) {
            font.setFamily(candidate);
            break;
        }
    }
    font.setPointSizeF(points);
    font.setWeight(QFont::Normal);
    return font;
}

QFont controlFont()
{
    return designFont(QStringLiteral("MS Sans Serif"), 8.25);
}

QFont listFont()
{
    return designFont(QStringLiteral("Small Fonts"), 6.75);
}

} // namespace zandrel
