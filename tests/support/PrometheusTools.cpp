#include "PrometheusTools.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTimer>
#include <QUrl>
#include <QUrlQuery>

namespace
{

// Waits with the event loop running, so that servers of the test itself go on answering.
void wait(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

namespace PrometheusTools
{

QString prometheus()
{
    return QStandardPaths::findExecutable(QStringLiteral("prometheus"));
}

QString snmpExporter()
{
    return QStandardPaths::findExecutable(QStringLiteral("prometheus-snmp-exporter"));
}

QString promtool()
{
    return QStandardPaths::findExecutable(QStringLiteral("promtool"));
}

quint16 freeTcpPort()
{
    QTcpServer server;
    if (!server.listen(QHostAddress(QHostAddress::LocalHost), 0))
        return 0;
    return server.serverPort();
}

Reply get(const QString &url, const QList<std::pair<QByteArray, QByteArray>> &headers,
          int timeoutMs)
{
    QNetworkAccessManager manager;
    QNetworkRequest request{QUrl(url)};
    for (const auto &[name, value] : headers)
        request.setRawHeader(name, value);
    request.setTransferTimeout(timeoutMs);
    QNetworkReply *reply = manager.get(request);
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(timeoutMs + 500, &loop, &QEventLoop::quit);
    loop.exec();
    Reply result;
    if (reply->isFinished()) {
        result.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        result.contentType = reply->header(QNetworkRequest::ContentTypeHeader).toByteArray();
        result.body = reply->readAll();
    }
    reply->abort();
    delete reply;
    return result;
}

int checkMetrics(const QByteArray &text, QStringList *findings)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(promtool(), {QStringLiteral("check"), QStringLiteral("metrics")});
    if (!process.waitForStarted(5000))
        return -1;
    process.write(text);
    process.closeWriteChannel();
    if (!process.waitForFinished(10000)) {
        process.kill();
        process.waitForFinished(1000);
        return -1;
    }
    for (const QByteArray &line : process.readAll().split('\n')) {
        if (!line.trimmed().isEmpty())
            findings->append(QString::fromUtf8(line.trimmed()));
    }
    return process.exitCode();
}

} // namespace PrometheusTools

ServiceProcess::ServiceProcess() = default;

ServiceProcess::~ServiceProcess()
{
    stop();
}

bool ServiceProcess::start(const QString &program, const QStringList &arguments,
                           const QString &readyPath, int readyTimeoutMs)
{
    m_process = std::make_unique<QProcess>();
    m_process->setWorkingDirectory(m_dir.path());
    m_process->setProcessChannelMode(QProcess::MergedChannels);
    m_process->setStandardOutputFile(m_dir.filePath(QStringLiteral("output.log")));
    m_process->start(program, arguments);
    if (!m_process->waitForStarted(5000)) {
        m_error = program + QStringLiteral(" did not start: ") + m_process->errorString();
        return false;
    }
    const QDeadlineTimer deadline(readyTimeoutMs);
    while (!deadline.hasExpired()) {
        if (m_process->state() != QProcess::Running)
            break;
        const PrometheusTools::Reply reply =
            PrometheusTools::get(QStringLiteral("http://") + address() + readyPath, {}, 1000);
        if (reply.status == 200)
            return true;
        wait(100);
    }
    QFile log(m_dir.filePath(QStringLiteral("output.log")));
    log.open(QIODevice::ReadOnly);
    m_error = program + QStringLiteral(" was not ready: ") + QString::fromUtf8(log.readAll());
    stop();
    return false;
}

bool ServiceProcess::startPrometheus(const QByteArray &config, int readyTimeoutMs)
{
    m_error.clear();
    m_port = PrometheusTools::freeTcpPort();
    QFile file(m_dir.filePath(QStringLiteral("prometheus.yml")));
    if (PrometheusTools::prometheus().isEmpty() || !m_dir.isValid() || m_port == 0 ||
        !file.open(QIODevice::WriteOnly) || file.write(config) != config.size()) {
        m_error = QStringLiteral("prometheus, a folder or a port is missing");
        return false;
    }
    file.close();
    return start(PrometheusTools::prometheus(),
                 {QStringLiteral("--config.file=") + file.fileName(),
                  QStringLiteral("--storage.tsdb.path=") + m_dir.filePath(QStringLiteral("data")),
                  QStringLiteral("--web.listen-address=") + address(),
                  QStringLiteral("--log.level=warn")},
                 QStringLiteral("/-/ready"), readyTimeoutMs);
}

bool ServiceProcess::startSnmpExporter(const QString &configPath, quint16 port, int readyTimeoutMs)
{
    m_error.clear();
    m_port = port != 0 ? port : PrometheusTools::freeTcpPort();
    if (PrometheusTools::snmpExporter().isEmpty() || m_port == 0) {
        m_error = QStringLiteral("prometheus-snmp-exporter or a port is missing");
        return false;
    }
    return start(PrometheusTools::snmpExporter(),
                 {QStringLiteral("--config.file=") + configPath,
                  QStringLiteral("--web.listen-address=") + address(),
                  QStringLiteral("--log.level=warn")},
                 QStringLiteral("/"), readyTimeoutMs);
}

void ServiceProcess::stop()
{
    if (!m_process)
        return;
    if (m_process->state() != QProcess::NotRunning) {
        m_process->terminate();
        if (!m_process->waitForFinished(5000)) {
            m_process->kill();
            m_process->waitForFinished(2000);
        }
    }
    m_process.reset();
}

QByteArray ServiceProcess::query(const QString &promql, int minSeries, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    QByteArray last;
    do {
        QUrl url(QStringLiteral("http://") + address() + QStringLiteral("/api/v1/query"));
        QUrlQuery query;
        query.addQueryItem(QStringLiteral("query"), promql);
        url.setQuery(query);
        const PrometheusTools::Reply reply = PrometheusTools::get(url.toString(), {}, 2000);
        const QJsonArray result = QJsonDocument::fromJson(reply.body)
                                      .object()
                                      .value(QStringLiteral("data"))
                                      .toObject()
                                      .value(QStringLiteral("result"))
                                      .toArray();
        last =
            result.isEmpty() ? QByteArray() : QJsonDocument(result).toJson(QJsonDocument::Compact);
        if (result.size() >= minSeries)
            return last;
        wait(250);
    } while (!deadline.hasExpired());
    return last;
}
