#pragma once

#include <QString>
#include <QStringView>

#include <span>

// A colour number: red in the lowest byte, then green, then blue (0x00BBGGRR). A number
// with the top bit set stands for a system colour of the desktop, FF000000 plus its index
// in the Windows system-colour numbering; clNone and clDefault are two special values.
using TColor = quint32;

namespace Colours
{

inline constexpr TColor clBlack = 0x00000000;
inline constexpr TColor clMaroon = 0x00000080;
inline constexpr TColor clGreen = 0x00008000;
inline constexpr TColor clOlive = 0x00008080;
inline constexpr TColor clNavy = 0x00800000;
inline constexpr TColor clPurple = 0x00800080;
inline constexpr TColor clTeal = 0x00808000;
inline constexpr TColor clGray = 0x00808080;
inline constexpr TColor clSilver = 0x00C0C0C0;
inline constexpr TColor clRed = 0x000000FF;
inline constexpr TColor clLime = 0x0000FF00;
inline constexpr TColor clYellow = 0x0000FFFF;
inline constexpr TColor clBlue = 0x00FF0000;
inline constexpr TColor clFuchsia = 0x00FF00FF;
inline constexpr TColor clAqua = 0x00FFFF00;
inline constexpr TColor clWhite = 0x00FFFFFF;
inline constexpr TColor clMoneyGreen = 0x00C0DCC0;
inline constexpr TColor clSkyBlue = 0x00F0CAA6;
inline constexpr TColor clCream = 0x00F0FBFF;
inline constexpr TColor clMedGray = 0x00A4A0A0;

inline constexpr TColor SystemColourBase = 0xFF000000;
inline constexpr TColor clNone = 0x1FFFFFFF;
inline constexpr TColor clDefault = 0x20000000;

constexpr TColor systemColour(int index)
{
    return SystemColourBase + TColor(index);
}
constexpr bool isSystemColour(TColor colour)
{
    return (colour & 0x80000000u) != 0;
}
// The system-colour index of a system colour (its lowest byte).
constexpr int systemColourIndex(TColor colour)
{
    return int(colour & 0xFFu);
}

constexpr int redOf(TColor colour)
{
    return int(colour & 0xFFu);
}
constexpr int greenOf(TColor colour)
{
    return int((colour >> 8) & 0xFFu);
}
constexpr int blueOf(TColor colour)
{
    return int((colour >> 16) & 0xFFu);
}

} // namespace Colours

struct ColourName {
    QStringView name;
    TColor colour;
};

// The named colours in table order: the twenty plain colours (sixteen standard, then
// clMoneyGreen, clSkyBlue, clCream, clMedGray), then the thirty system colours with clDefault
// and clNone among them.
std::span<const ColourName> colourNames();

// Reads a stored colour text: a name of the table above, compared without regard to case
// ("clred" is clRed); otherwise a whole number in decimal or hexadecimal after "$", taken
// as the colour number. Throws OstralineError naming the text when it is neither.
TColor colourFromText(const QString &text);

// The stored form of a colour: the name of the first table row with this number, spelled as
// in the table ("clRed"); otherwise "$" and eight upper-case hexadecimal digits.
QString colourToText(TColor colour);
