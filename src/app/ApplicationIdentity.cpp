#include "ApplicationIdentity.h"

#include "OstralineVersion.h"

#include <QCoreApplication>

namespace ApplicationIdentity
{

void apply()
{
    QCoreApplication::setApplicationName(QStringLiteral("Ostraline"));
    QCoreApplication::setApplicationVersion(QStringLiteral(OSTRALINE_VERSION));
}

} // namespace ApplicationIdentity
