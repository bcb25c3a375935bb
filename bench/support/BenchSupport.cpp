#include "BenchSupport.h"

#include "SnmpAgent.h"

#include <QFile>
#include <QHostAddress>
#include <QNetworkDatagram>
#include <QPixmap>
#include <QTemporaryDir>
#include <QUdpSocket>
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <unistd.h>

namespace BenchSupport
{

void usePrivateSettings()
{
    static QTemporaryDir folder;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(folder.filePath("config")));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(folder.path()));
}

Memory memory()
{
    Memory figures;
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly))
        return figures;
    for (const QByteArray &line : status.readAll().split('\n')) {
        const QList<QByteArray> parts = line.simplified().split(' ');
        if (parts.size() < 2)
            continue;
        if (parts[0] == "VmRSS:")
            figures.rssKb = parts[1].toLong();
        else if (parts[0] == "VmHWM:")
            figures.peakKb = parts[1].toLong();
    }
    return figures;
}

double cpuSeconds()
{
    QFile stat("/proc/self/stat");
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray text = stat.readAll();
    // Fields after the command name (which may hold blanks) start at field 3 (state);
    // utime and stime are fields 14 and 15.
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return 0;
    const double ticks = double(::sysconf(_SC_CLK_TCK));
    return (fields[11].toDouble() + fields[12].toDouble()) / ticks;
}

bool savePicture(QWidget &widget, const QString &path)
{
    return widget.grab().save(path, "PNG");
}

} // namespace BenchSupport

SimulatedNetwork::SimulatedNetwork(QObject *parent)
    : QObject(parent), m_agent(std::make_unique<SnmpAgent>())
{
    static const char *const names[Interfaces] = {"Core uplink",
                                                  "Internet edge",
                                                  "DMZ",
                                                  "Server farm A",
                                                  "Server farm B",
                                                  "Storage",
                                                  "Backup link",
                                                  "Branch north WAN",
                                                  "Branch south WAN",
                                                  "Branch east WAN",
                                                  "Wireless",
                                                  "VoIP",
                                                  "Office floor 1",
                                                  "Office floor 2",
                                                  "Office floor 3",
                                                  "Lab",
                                                  "Printers",
                                                  "Cameras",
                                                  "Guest network",
                                                  "Management"};
    for (int i = 0; i < Interfaces; ++i) {
        Line line;
        line.description = QString::fromLatin1(names[i]);
        line.bandwidth = i < 7 ? 1000000000 : (i < 10 ? 10000000 : 100000000);
        // Combined load in parts of the bandwidth: a base with a slow swing; a few lines run
        // hot.
        line.base = 0.2 + 0.06 * (i % 5) + (i % 6 == 1 ? 0.4 : 0.0);
        line.swing = 0.08 + 0.04 * (i % 4);
        line.period = 40.0 + 13.0 * (i % 7);
        line.phase = 0.7 * i;
        line.outShare = 0.3 + 0.1 * (i % 6);
        // Two counters start just below the 32-bit wrap, so that the poll sees it wrap.
        line.in = (i == 3 || i == 12) ? 4294967295U - 20000000U : quint32(i) * 1000000U;
        line.out = quint32(i) * 500000U;
        m_lines.append(line);
    }
    m_clock.setInterval(1000);
    connect(&m_clock, &QTimer::timeout, this, &SimulatedNetwork::advance);
}

SimulatedNetwork::~SimulatedNetwork() = default;

bool SimulatedNetwork::start()
{
    for (int i = 0; i < Interfaces; ++i)
        m_agent->setCounters(i + 1, m_lines[i].in, m_lines[i].out);
    if (!m_agent->start())
        return false;
    m_clock.start();
    return true;
}

QString SimulatedNetwork::errorString() const
{
    return m_agent->errorString();
}

bool SimulatedNetwork::writeDeviceFile(const QString &path) const
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    for (int i = 0; i < Interfaces; ++i) {
        file.write(QString("%1;%2;%3;%4;%5\n")
                       .arg(m_agent->host())
                       .arg(i + 1)
                       .arg(m_lines[i].bandwidth)
                       .arg(SnmpAgent::community(), m_lines[i].description)
                       .toLatin1());
    }
    return true;
}

void SimulatedNetwork::advance()
{
    m_seconds += 1;
    for (int i = 0; i < Interfaces; ++i) {
        Line &line = m_lines[i];
        const double wave = std::sin(2 * std::numbers::pi * m_seconds / line.period + line.phase);
        const double load = std::clamp(line.base + line.swing * wave, 0.0, 0.97);
        // The load splits into input and output, output being outShare of the input.
        const double octets = load * double(line.bandwidth) / 8.0 / (1.0 + line.outShare);
        // Counters wrap at 2^32 as a real Counter32 does.
        line.in = quint32(line.in + quint32(std::fmod(octets, 4294967296.0)));
        const double outOctets = octets * line.outShare;
        line.out = quint32(line.out + quint32(std::fmod(outOctets, 4294967296.0)));
        m_agent->setCounters(i + 1, line.in, line.out);
    }
}

LoopbackTraffic::LoopbackTraffic(QObject *parent)
    : QObject(parent), m_receiver(std::make_unique<QUdpSocket>()),
      m_sender(std::make_unique<QUdpSocket>())
{
    m_clock.setInterval(10);
    m_clock.setTimerType(Qt::PreciseTimer);
    connect(&m_clock, &QTimer::timeout, this, &LoopbackTraffic::send);
    connect(m_receiver.get(), &QUdpSocket::readyRead, this, [this] {
        while (m_receiver->hasPendingDatagrams())
            m_receiver->receiveDatagram(0);
    });
}

LoopbackTraffic::~LoopbackTraffic() = default;

bool LoopbackTraffic::start()
{
    if (!m_receiver->bind(QHostAddress(QHostAddress::LocalHost), 0))
        return false;
    m_clock.start();
    return true;
}

void LoopbackTraffic::send()
{
    m_seconds += 0.01;
    // A 90-second wave between about 0.05 and 0.6 MB/s; loopback counts every datagram both
    // in and out, so the combined load stays below the 10 Mbit/s of the demo's loopback line.
    const double bytesPerSecond =
        325000.0 + 275000.0 * std::sin(2 * std::numbers::pi * m_seconds / 90.0);
    static const QByteArray payload(1400, 'x');
    m_credit += bytesPerSecond / 100.0;
    while (m_credit >= payload.size()) {
        m_credit -= payload.size();
        m_sender->writeDatagram(payload, QHostAddress(QHostAddress::LocalHost),
                                m_receiver->localPort());
    }
}
