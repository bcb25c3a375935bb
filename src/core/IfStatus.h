#pragma once

#include <QString>

// IF-MIB's ifAdminStatus/ifOperStatus values as IF-MIB names them ("up", "down", ...,
// "lowerLayerDown"); a value outside 1 to 7 as its number.
inline QString ifStatusName(int status)
{
    switch (status) {
    case 1:
        return QStringLiteral("up");
    case 2:
        return QStringLiteral("down");
    case 3:
        return QStringLiteral("testing");
    case 4:
        return QStringLiteral("unknown");
    case 5:
        return QStringLiteral("dormant");
    case 6:
        return QStringLiteral("notPresent");
    case 7:
        return QStringLiteral("lowerLayerDown");
    default:
        return QString::number(status);
    }
}
