#include "Pictures.h"

#include <QImageReader>

// The resource file is compiled into a static library, whose registration the linker would
// drop unless something refers to it.
static void initResources()
{
    static const bool done = [] {
        Q_INIT_RESOURCE(ostraline);
        return true;
    }();
    (void)done;
}

namespace Pictures
{
namespace
{

QPixmap load(const QString &path)
{
    initResources();
    QImageReader reader(path);
    return QPixmap::fromImage(reader.read());
}

} // namespace

QPixmap aboutPicture()
{
    return load(QStringLiteral(":/ostraline/about.jpg"));
}

QPixmap splashPicture()
{
    return load(QStringLiteral(":/ostraline/splash.jpg"));
}

QCursor webHandCursor()
{
    return QCursor(load(QStringLiteral(":/ostraline/web_hand.png")), 9, 1);
}

} // namespace Pictures
