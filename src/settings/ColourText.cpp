#include "ColourText.h"

#include "ErrorReport.h"
#include "NumberFormat.h"

#include <array>
#include <cstdint>

using namespace Colours;

namespace
{

constexpr std::array<ColourName, 52> Names{{
    {u"clBlack", clBlack},
    {u"clMaroon", clMaroon},
    {u"clGreen", clGreen},
    {u"clOlive", clOlive},
    {u"clNavy", clNavy},
    {u"clPurple", clPurple},
    {u"clTeal", clTeal},
    {u"clGray", clGray},
    {u"clSilver", clSilver},
    {u"clRed", clRed},
    {u"clLime", clLime},
    {u"clYellow", clYellow},
    {u"clBlue", clBlue},
    {u"clFuchsia", clFuchsia},
    {u"clAqua", clAqua},
    {u"clWhite", clWhite},
    {u"clMoneyGreen", clMoneyGreen},
    {u"clSkyBlue", clSkyBlue},
    {u"clCream", clCream},
    {u"clMedGray", clMedGray},
    {u"clActiveBorder", systemColour(10)},
    {u"clActiveCaption", systemColour(2)},
    {u"clAppWorkSpace", systemColour(12)},
    {u"clBackground", systemColour(1)},
    {u"clBtnFace", systemColour(15)},
    {u"clBtnHighlight", systemColour(20)},
    {u"clBtnShadow", systemColour(16)},
    {u"clBtnText", systemColour(18)},
    {u"clCaptionText", systemColour(9)},
    {u"clDefault", clDefault},
    {u"clGradientActiveCaption", systemColour(27)},
    {u"clGradientInactiveCaption", systemColour(28)},
    {u"clGrayText", systemColour(17)},
    {u"clHighlight", systemColour(13)},
    {u"clHighlightText", systemColour(14)},
    {u"clHotLight", systemColour(26)},
    {u"clInactiveBorder", systemColour(11)},
    {u"clInactiveCaption", systemColour(3)},
    {u"clInactiveCaptionText", systemColour(19)},
    {u"clInfoBk", systemColour(24)},
    {u"clInfoText", systemColour(23)},
    {u"clMenu", systemColour(4)},
    {u"clMenuBar", systemColour(30)},
    {u"clMenuHighlight", systemColour(29)},
    {u"clMenuText", systemColour(7)},
    {u"clNone", clNone},
    {u"clScrollBar", systemColour(0)},
    {u"cl3DDkShadow", systemColour(21)},
    {u"cl3DLight", systemColour(22)},
    {u"clWindow", systemColour(5)},
    {u"clWindowFrame", systemColour(6)},
    {u"clWindowText", systemColour(8)},
}};

// "$" followed by one to eight hexadecimal digits.
bool tryParseDollarHex(const QString &text, TColor *colour)
{
    if (!text.startsWith(u'$'))
        return false;
    const QStringView digits = QStringView(text).sliced(1);
    if (digits.isEmpty() || digits.size() > 8)
        return false;
    TColor value = 0;
    for (const QChar c : digits) {
        const char16_t u = c.unicode();
        TColor digit = 0;
        if (u >= u'0' && u <= u'9')
            digit = u - u'0';
        else if (u >= u'A' && u <= u'F')
            digit = u - u'A' + 10;
        else if (u >= u'a' && u <= u'f')
            digit = u - u'a' + 10;
        else
            return false;
        value = value * 16 + digit;
    }
    *colour = value;
    return true;
}

// A decimal whole number; negative numbers are the colour's signed 32-bit form.
bool tryParseDecimal(const QString &text, TColor *colour)
{
    std::int64_t value = 0;
    if (!NumberFormat::tryParseWhole(text, &value))
        return false;
    if (value < INT32_MIN || value > std::int64_t(UINT32_MAX))
        return false;
    *colour = TColor(std::uint32_t(value));
    return true;
}

} // namespace

std::span<const ColourName> colourNames()
{
    return Names;
}

TColor colourFromText(const QString &text)
{
    for (const ColourName &entry : Names) {
        if (QStringView(text).compare(entry.name, Qt::CaseInsensitive) == 0)
            return entry.colour;
    }
    TColor colour = 0;
    if (tryParseDollarHex(text, &colour) || tryParseDecimal(text, &colour))
        return colour;
    throw OstralineError(QStringLiteral("'%1' is not a valid colour").arg(text));
}

QString colourToText(TColor colour)
{
    for (const ColourName &entry : Names) {
        if (entry.colour == colour)
            return entry.name.toString();
    }
    return u'$' + QStringLiteral("%1").arg(uint(colour), 8, 16, QLatin1Char('0')).toUpper();
}
