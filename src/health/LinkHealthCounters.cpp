#include "LinkHealthCounters.h"

#include "PollResult.h"

#include <algorithm>
#include <cmath>

namespace
{

std::optional<int> status(const QString &text)
{
    bool ok = false;
    const qlonglong value = text.toLongLong(&ok);
    if (!ok || value < 1 || value > 2147483647)
        return std::nullopt;
    return int(value);
}

std::optional<std::uint32_t> counter(const QString &text)
{
    bool ok = false;
    const qulonglong value = text.toULongLong(&ok);
    if (!ok || value > 4294967295ULL || text.startsWith(QLatin1Char('-')) ||
        text.startsWith(QLatin1Char('+')))
        return std::nullopt;
    return std::uint32_t(value);
}

} // namespace

LinkHealthSample LinkHealthSample::fromTexts(const QStringList &texts)
{
    LinkHealthSample sample;
    if (texts.size() != 6)
        return sample;
    sample.adminStatus = status(texts[0]);
    sample.operStatus = status(texts[1]);
    sample.inDiscards = counter(texts[2]);
    sample.inErrors = counter(texts[3]);
    sample.outDiscards = counter(texts[4]);
    sample.outErrors = counter(texts[5]);
    return sample;
}

std::optional<std::uint64_t>
LinkHealthCounters::count(std::uint32_t previous, std::uint32_t current, std::uint64_t maxCount)
{
    const std::uint64_t delta = current >= previous
                                    ? std::uint64_t(current - previous)
                                    : std::uint64_t(current) + (std::uint64_t(1) << 32) - previous;
    // A step back is a wrap only when the way forward through 2^32 is short; else a reset.
    if (current < previous && delta >= MaxWrapCount)
        return std::nullopt;
    if (maxCount > 0 && delta > maxCount)
        return std::nullopt;
    return delta;
}

void LinkHealthCounters::apply(InterfaceReading &reading, const LinkHealthSample &sample,
                               bool firstReading, double intervalSeconds)
{
    reading.adminStatus = sample.adminStatus;
    reading.operStatus = sample.operStatus;

    // At most one packet per octet the line can carry in the interval.
    const double octets = double(reading.bandwidth) / 8.0 * std::max(intervalSeconds, 0.0);
    const std::uint64_t maxCount = reading.bandwidth == 0 ? 0 : std::uint64_t(std::ceil(octets));

    const std::optional<std::uint32_t> current[4] = {sample.inErrors, sample.outErrors,
                                                     sample.inDiscards, sample.outDiscards};
    std::optional<std::uint64_t> *raw[4] = {&reading.inErrors, &reading.outErrors,
                                            &reading.inDiscards, &reading.outDiscards};
    std::optional<std::uint64_t> *deltas[4] = {&reading.inErrorsDelta, &reading.outErrorsDelta,
                                               &reading.inDiscardsDelta, &reading.outDiscardsDelta};
    Last &last = m_last[reading.row];
    for (int i = 0; i < 4; ++i) {
        *raw[i] = current[i] ? std::optional<std::uint64_t>(*current[i]) : std::nullopt;
        deltas[i]->reset();
        if (current[i] && last.values[i] && !firstReading)
            *deltas[i] = count(*last.values[i], *current[i], maxCount);
        last.values[i] = current[i];
    }
}

void LinkHealthCounters::fill(PollResult &result, const QHash<int, QStringList> &textsByRow)
{
    for (InterfaceReading &reading : result.interfaces) {
        const bool read = reading.polled && reading.outcome != InterfaceReading::Outcome::Failed;
        const auto it = textsByRow.constFind(reading.row);
        const LinkHealthSample sample =
            read && it != textsByRow.cend() ? LinkHealthSample::fromTexts(*it) : LinkHealthSample();
        // A row that is not measurable still reads its error counters as any row.
        apply(reading, sample,
              reading.outcome != InterfaceReading::Outcome::Good &&
                  reading.outcome != InterfaceReading::Outcome::NotMeasurable,
              result.pollIntervalSeconds);
    }
}
