#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>
#include <utility>

class QProcess;

// Debian's Prometheus programs for tests, each started on 127.0.0.1 at a free TCP port with a
// temporary folder of its own, and stopped by stop() or the destructor.
namespace PrometheusTools
{

QString prometheus();   // empty when not installed
QString snmpExporter(); // empty when not installed
QString promtool();     // empty when not installed
quint16 freeTcpPort();  // 0 when none could be had

struct Reply {
    int status = 0; // 0: no answer
    QByteArray contentType;
    QByteArray body;
};
// One HTTP GET with extra headers, bounded in time; runs the event loop meanwhile.
Reply get(const QString &url, const QList<std::pair<QByteArray, QByteArray>> &headers = {},
          int timeoutMs = 5000);

// promtool check metrics on text: its exit status and its findings (one per line).
int checkMetrics(const QByteArray &text, QStringList *findings);

} // namespace PrometheusTools

// A Prometheus server (or the SNMP exporter) run for one test.
class ServiceProcess
{
public:
    ServiceProcess();
    ~ServiceProcess();
    ServiceProcess(const ServiceProcess &) = delete;
    ServiceProcess &operator=(const ServiceProcess &) = delete;

    // Starts Prometheus with config as its prometheus.yml; ready once /-/ready answers 200.
    bool startPrometheus(const QByteArray &config, int readyTimeoutMs = 15000);
    // Starts the SNMP exporter with the file at configPath (port 0: a free one); ready once /
    // answers.
    bool startSnmpExporter(const QString &configPath, quint16 port = 0, int readyTimeoutMs = 10000);
    void stop();

    quint16 port() const { return m_port; }
    QString address() const { return QStringLiteral("127.0.0.1:") + QString::number(m_port); }
    QString folder() const { return m_dir.path(); }
    const QString &errorString() const { return m_error; }

    // Prometheus: the instant query's result vector as JSON text (empty when none), polled
    // until it has at least minSeries series or the time is up.
    QByteArray query(const QString &promql, int minSeries, int timeoutMs);

private:
    bool start(const QString &program, const QStringList &arguments, const QString &readyPath,
               int readyTimeoutMs);

    QTemporaryDir m_dir;
    std::unique_ptr<QProcess> m_process;
    quint16 m_port = 0;
    QString m_error;
};
