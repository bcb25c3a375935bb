#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>

class SnmpAgent;
class QUdpSocket;

// Helpers of the benchmark and demo programs that drive a real main window.
namespace BenchSupport
{

// Points the settings (and the single-instance mark) at a private temporary folder for the
// rest of the process, so that a run neither reads nor changes the operator's own settings.
// Call before the application object exists: Qt reads the configuration folder once.
void usePrivateSettings();

// Resident set size and peak resident set size of this process in KiB (from /proc).
struct Memory {
    long rssKb = 0;
    long peakKb = 0;
};
Memory memory();
// User plus system CPU time of this process in seconds.
double cpuSeconds();

// Saves a grab of the widget tree under `widget` as PNG; false on failure.
bool savePicture(class QWidget &widget, const QString &path);

} // namespace BenchSupport

// Twenty interfaces with lively traffic, served by a real snmpd on 127.0.0.1: every second
// each interface's two counters advance by its current load (a slow wave per interface, some
// of them crossing the high threshold), and two of them start just below the 32-bit wrap.
class SimulatedNetwork : public QObject
{
    Q_OBJECT

public:
    static constexpr int Interfaces = 20;

    explicit SimulatedNetwork(QObject *parent = nullptr);
    ~SimulatedNetwork() override;

    // Starts the agent and the counter clock; false with a reason in errorString().
    bool start();
    QString errorString() const;
    // Writes a device file listing the twenty interfaces.
    bool writeDeviceFile(const QString &path) const;

private:
    void advance();

    struct Line {
        QString description;
        qint64 bandwidth;
        double base, swing, period, phase, outShare;
        quint32 in, out;
    };
    std::unique_ptr<SnmpAgent> m_agent;
    QList<Line> m_lines;
    QTimer m_clock;
    double m_seconds = 0;
};

// Loopback traffic for the demo: datagrams from one 127.0.0.1 socket to another, at a rate
// that swings slowly between about 0.05 and 0.6 MB/s.
class LoopbackTraffic : public QObject
{
    Q_OBJECT

public:
    explicit LoopbackTraffic(QObject *parent = nullptr);
    ~LoopbackTraffic() override;
    bool start();

private:
    void send();

    std::unique_ptr<QUdpSocket> m_receiver;
    std::unique_ptr<QUdpSocket> m_sender;
    QTimer m_clock;
    double m_seconds = 0;
    double m_credit = 0;
};
