#include "ApplicationIdentity.h"

#include <QCoreApplication>

namespace ApplicationIdentity
{

void apply()
{
    QCoreApplication::setApplicationName(QStringLiteral("Ostraline"));
}

} // namespace ApplicationIdentity
