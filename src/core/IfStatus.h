#pragma once

#include <QString>
#include <QStringView>

#include <array>

// IF-MIB's ifAdminStatus/ifOperStatus values: their names and which of them mean the link is
// down. Every text and test of these values is made here.
namespace IfStatus
{

inline constexpr int Up = 1;
inline constexpr int Down = 2;

// The names as IF-MIB writes them, for the values 1 to 7.
inline constexpr std::array<QStringView, 7> Names = {
    u"up", u"down", u"testing", u"unknown", u"dormant", u"notPresent", u"lowerLayerDown",
};

// Whether status is one of the values IF-MIB names (1 to 7).
constexpr bool isNamed(int status)
{
    return status >= 1 && status <= int(Names.size());
}

// Whether an ifOperStatus says the link is down: down, notPresent or lowerLayerDown.
// testing, unknown and dormant are not down, nor is any value IF-MIB does not name.
constexpr bool operDown(int status)
{
    return status == Down || status == 6 || status == 7;
}

} // namespace IfStatus

// The IF-MIB name of an ifAdminStatus/ifOperStatus value ("up", "down", ...,
// "lowerLayerDown"); a value outside 1 to 7 as its number.
inline QString ifStatusName(int status)
{
    return IfStatus::isNamed(status) ? IfStatus::Names[std::size_t(status - 1)].toString()
                                     : QString::number(status);
}
