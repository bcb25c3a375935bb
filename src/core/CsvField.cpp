#include "CsvField.h"

namespace CsvField
{
namespace
{

bool startsLikeAFormula(QStringView text)
{
    if (text.isEmpty())
        return false;
    switch (text.front().unicode()) {
    case u'=':
    case u'+':
    case u'-':
    case u'@':
    case u'\t':
    case u'\r':
        return true;
    default:
        return false;
    }
}

} // namespace

QString spreadsheetText(const QString &text)
{
    return startsLikeAFormula(text) ? QLatin1Char('\'') + text : text;
}

QString fromSpreadsheetText(const QString &field)
{
    if (field.startsWith(QLatin1Char('\'')) && startsLikeAFormula(QStringView(field).mid(1)))
        return field.mid(1);
    return field;
}

} // namespace CsvField
