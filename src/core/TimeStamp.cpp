#include "TimeStamp.h"

namespace TimeStamp
{

QString timeSeparator(const QLocale &locale)
{
    // Qt has no accessor for it: take the characters between the hour and minute fields.
    const QString pattern = locale.timeFormat(QLocale::ShortFormat);
    const qsizetype hour = pattern.indexOf(QLatin1Char('h'), 0, Qt::CaseInsensitive);
    if (hour < 0)
        return QStringLiteral(":");
    qsizetype start = hour;
    while (start < pattern.size() && pattern.at(start).toLower() == QLatin1Char('h'))
        ++start;
    const qsizetype minute = pattern.indexOf(QLatin1Char('m'), start);
    if (minute <= start)
        return QStringLiteral(":");
    const QString separator = pattern.mid(start, minute - start);
    return separator.contains(QLatin1Char('\'')) ? QStringLiteral(":") : separator;
}

QString format(const QDateTime &when, const QLocale &locale)
{
    const QDate date = when.date();
    const QTime time = when.time();
    // The stand-alone short name has no abbreviation dot in most locales ("Apr", not "Apr.").
    QString month = locale.standaloneMonthName(date.month(), QLocale::ShortFormat);
    if (month.endsWith(QLatin1Char('.')))
        month.chop(1);
    const QString sep = timeSeparator(locale);
    const auto two = [](int n) { return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0')); };
    return two(date.day()) + QLatin1Char('.') + month + QLatin1Char('.') +
           QStringLiteral("%1").arg(date.year(), 4, 10, QLatin1Char('0')) + QStringLiteral(", ") +
           two(time.hour()) + sep + two(time.minute()) + sep + two(time.second());
}

} // namespace TimeStamp
