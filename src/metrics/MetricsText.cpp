#include "MetricsText.h"

#include "IfMib.h"
#include "PollResult.h"

#include <QLocale>
#include <QSet>

#include <cmath>
#include <optional>

namespace MetricsText
{
namespace
{

struct Family {
    const char *name;
    const char *type;
    QByteArray help;
    QByteArray samples;
};

QByteArray oid(IfMib::IfEntryColumn column)
{
    return " - " + oidText(IfMib::ifEntry(column)).toLatin1();
}

QByteArray oid(IfMib::IfXEntryColumn column)
{
    return " - " + oidText(IfMib::ifXEntry(column)).toLatin1();
}

// Every family in the order written; one that gets no sample is left out.
enum FamilyId {
    HcIn,
    HcOut,
    In,
    Out,
    InErrors,
    OutErrors,
    InDiscards,
    OutDiscards,
    AdminStatus,
    OperStatus,
    HighSpeed,
    ReadingUp,
    Utilisation,
    LastPoll,
    PollDuration,
    FamilyCount
};

Family makeFamily(FamilyId id)
{
    using namespace IfMib;
    const auto family = [](const char *name, const char *type, const QByteArray &help) {
        return Family{name, type, help, {}};
    };
    switch (id) {
    case HcIn:
        return family("ifHCInOctets", "counter",
                      "Octets received on the interface (64-bit)" + oid(IfHCInOctets));
    case HcOut:
        return family("ifHCOutOctets", "counter",
                      "Octets sent out of the interface (64-bit)" + oid(IfHCOutOctets));
    case In:
        return family("ifInOctets", "counter",
                      "Octets received on the interface" + oid(IfInOctets));
    case Out:
        return family("ifOutOctets", "counter",
                      "Octets sent out of the interface" + oid(IfOutOctets));
    case InErrors:
        return family("ifInErrors", "counter", "Inbound packets with errors" + oid(IfInErrors));
    case OutErrors:
        return family("ifOutErrors", "counter",
                      "Outbound packets that could not be sent because of errors" +
                          oid(IfOutErrors));
    case InDiscards:
        return family("ifInDiscards", "counter",
                      "Inbound packets discarded without an error" + oid(IfInDiscards));
    case OutDiscards:
        return family("ifOutDiscards", "counter",
                      "Outbound packets discarded without an error" + oid(IfOutDiscards));
    case AdminStatus:
        return family("ifAdminStatus", "gauge",
                      "The desired state of the interface (1 up, 2 down, 3 testing)" +
                          oid(IfAdminStatus));
    case OperStatus:
        return family("ifOperStatus", "gauge",
                      "The operational state of the interface (1 up, 2 down, 3 testing, 4 "
                      "unknown, 5 dormant, 6 notPresent, 7 lowerLayerDown)" +
                          oid(IfOperStatus));
    case HighSpeed:
        return family("ifHighSpeed", "gauge",
                      "The bandwidth of the interface in Mbit/s, from the device file" +
                          oid(IfHighSpeed));
    case ReadingUp:
        return family(
            "ostraline_reading_up", "gauge",
            "1 when a reading of the interface arrived at the last poll, 0 when none did");
    case Utilisation:
        return family("ostraline_utilisation_percent", "gauge",
                      "Utilisation of the interface in percent of its bandwidth at the last poll "
                      "(none when that poll had no rate, as on a first reading)");
    case LastPoll:
        return family("ostraline_last_poll_timestamp_seconds", "gauge",
                      "Unix time of the last finished poll");
    case PollDuration:
        return family("ostraline_poll_duration_seconds", "gauge",
                      "Time from the first request of the last poll to its last reply");
    case FamilyCount:
        break;
    }
    return family("", "", {});
}

void add(Family &family, const QByteArray &labels, const QByteArray &value)
{
    family.samples += family.name;
    if (!labels.isEmpty())
        family.samples += '{' + labels + '}';
    family.samples += ' ' + value + '\n';
}

void addCounter(Family &family, const QByteArray &labels, const std::optional<std::uint64_t> &v)
{
    if (v)
        add(family, labels, QByteArray::number(quint64(*v)));
}

void addGauge(Family &family, const QByteArray &labels, const std::optional<int> &v)
{
    if (v)
        add(family, labels, QByteArray::number(*v));
}

// Whether this poll got an answer for the row (a first reading included).
bool readingArrived(const InterfaceReading &row)
{
    return row.polled && row.outcome != InterfaceReading::Outcome::Failed;
}

} // namespace

QByteArray escapeLabelValue(const QString &value)
{
    QByteArray escaped;
    const QByteArray utf8 = value.toUtf8();
    escaped.reserve(utf8.size());
    for (const char c : utf8) {
        if (c == '\\')
            escaped += "\\\\";
        else if (c == '"')
            escaped += "\\\"";
        else if (c == '\n')
            escaped += "\\n";
        else
            escaped += c;
    }
    return escaped;
}

QByteArray number(double value)
{
    if (std::isnan(value))
        return "NaN";
    if (std::isinf(value))
        return value > 0 ? "+Inf" : "-Inf";
    return QByteArray::number(value, 'g', QLocale::FloatingPointShortest);
}

QByteArray render(const PollResult *result)
{
    if (!result)
        return {};
    Family families[FamilyCount];
    for (int id = 0; id < FamilyCount; ++id)
        families[id] = makeFamily(FamilyId(id));

    QSet<QByteArray> written;
    for (const InterfaceReading &row : result->interfaces) {
        const QByteArray labels = "agent=\"" + escapeLabelValue(row.address) + "\",ifIndex=\"" +
                                  escapeLabelValue(row.ifIndex) + "\",ifDescr=\"" +
                                  escapeLabelValue(row.description) + '"';
        if (written.contains(labels))
            continue;
        written.insert(labels);

        addCounter(families[row.counters64 ? HcIn : In], labels, row.inOctets);
        addCounter(families[row.counters64 ? HcOut : Out], labels, row.outOctets);
        addCounter(families[InErrors], labels, row.inErrors);
        addCounter(families[OutErrors], labels, row.outErrors);
        addCounter(families[InDiscards], labels, row.inDiscards);
        addCounter(families[OutDiscards], labels, row.outDiscards);
        addGauge(families[AdminStatus], labels, row.adminStatus);
        addGauge(families[OperStatus], labels, row.operStatus);
        // ifHighSpeed is whole Mbit/s; half a Mbit/s rounds up.
        add(families[HighSpeed], labels,
            QByteArray::number(
                quint64(row.bandwidth / 1000000u + (row.bandwidth % 1000000u >= 500000u))));

        add(families[ReadingUp], labels, readingArrived(row) ? "1" : "0");
        // A first reading or a row that is not measurable has no rate: its utilisation is
        // unknown, as the history stores it, not 0.
        if (row.polled && row.hasRate()) {
            add(families[Utilisation], labels + ",direction=\"in\"", number(row.inUtilisation));
            add(families[Utilisation], labels + ",direction=\"out\"", number(row.outUtilisation));
            add(families[Utilisation], labels + ",direction=\"combined\"",
                number(row.combinedUtilisation));
        }
    }
    if (result->time.isValid())
        add(families[LastPoll], {}, number(double(result->time.toMSecsSinceEpoch()) / 1000.0));
    add(families[PollDuration], {}, number(result->durationSeconds));

    QByteArray text;
    for (const Family &family : families) {
        if (family.samples.isEmpty())
            continue;
        text += QByteArray("# HELP ") + family.name + ' ' + family.help + '\n';
        text += QByteArray("# TYPE ") + family.name + ' ' + family.type + '\n';
        text += family.samples;
    }
    return text;
}

} // namespace MetricsText
