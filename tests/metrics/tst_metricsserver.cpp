#include "Heartbeat.h"
#include "MetricsAddress.h"
#include "MetricsEndpoint.h"
#include "MetricsFixture.h"
#include "MetricsServer.h"
#include "MetricsText.h"
#include "PrometheusTools.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <memory>
#include <vector>

using namespace MetricsFixture;

// The metrics endpoint: what it answers, its bounds, and Prometheus scraping it.
class TestMetricsServer : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<MetricsServer> m_server;

    QString url(const QString &path) const
    {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(m_server->port()).arg(path);
    }

    std::unique_ptr<QTcpSocket> connectRaw() const
    {
        auto socket = std::make_unique<QTcpSocket>();
        socket->connectToHost(QHostAddress::LocalHost, m_server->port());
        if (!socket->waitForConnected(2000))
            return nullptr;
        return socket;
    }

    // The status line of the answer to a raw request.
    QByteArray statusOf(const QByteArray &request) const
    {
        std::unique_ptr<QTcpSocket> socket = connectRaw();
        if (!socket)
            return {};
        socket->write(request);
        QByteArray answer;
        QElapsedTimer timer;
        timer.start();
        while (!answer.contains("\r\n") && timer.elapsed() < 3000 &&
               socket->state() == QAbstractSocket::ConnectedState) {
            QCoreApplication::processEvents();
            socket->waitForReadyRead(50);
            answer += socket->readAll();
        }
        return answer.left(answer.indexOf("\r\n"));
    }

    static PollResult busyPoll(std::uint64_t in)
    {
        QList<InterfaceReading> rows;
        for (int i = 1; i <= 20; ++i) {
            InterfaceReading r = good(i, QStringLiteral("127.0.0.1:1161"), QString::number(i),
                                      QStringLiteral("port %1").arg(i), in * i, in);
            r.counters64 = true;
            rows.append(r);
        }
        return result(rows);
    }

private Q_SLOTS:
    void init()
    {
        m_server = std::make_unique<MetricsServer>();
        QString error;
        QVERIFY2(m_server->listen(QHostAddress(QHostAddress::LocalHost), 0, &error),
                 qPrintable(error));
        m_server->onPollFinished(busyPoll(1000));
    }

    void cleanup() { m_server.reset(); }

    // Prometheus asks for OpenMetrics first; the answer is the 0.0.4 text all the same.
    void textWhateverAccept_data()
    {
        QTest::addColumn<QByteArray>("accept");
        QTest::newRow("none") << QByteArray();
        QTest::newRow("as Prometheus asks")
            << QByteArray("application/openmetrics-text;version=1.0.0,application/"
                          "openmetrics-text;version=0.0.1;q=0.75,text/plain;version=0.0.4;q=0.5,"
                          "*/*;q=0.1");
        QTest::newRow("json only") << QByteArray("application/json");
    }

    void textWhateverAccept()
    {
        QFETCH(QByteArray, accept);
        QList<std::pair<QByteArray, QByteArray>> headers;
        if (!accept.isEmpty())
            headers.append({"Accept", accept});
        const PrometheusTools::Reply reply =
            PrometheusTools::get(url(QStringLiteral("/metrics")), headers);
        QCOMPARE(reply.status, 200);
        QCOMPARE(reply.contentType, QByteArray(MetricsText::ContentType));
        const PollResult poll = busyPoll(1000);
        QCOMPARE(reply.body, MetricsText::render(&poll));
    }

    void everythingElseIsNotFound_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::newRow("root") << QByteArray("GET / HTTP/1.1\r\nHost: x\r\n\r\n");
        QTest::newRow("below") << QByteArray("GET /metrics/x HTTP/1.1\r\nHost: x\r\n\r\n");
        QTest::newRow("longer") << QByteArray("GET /metricsx HTTP/1.1\r\nHost: x\r\n\r\n");
        QTest::newRow("post") << QByteArray(
            "POST /metrics HTTP/1.1\r\nHost: x\r\nContent-Length: 2\r\n\r\nab");
        QTest::newRow("delete") << QByteArray("DELETE /metrics HTTP/1.1\r\nHost: x\r\n\r\n");
    }

    void everythingElseIsNotFound()
    {
        QFETCH(QByteArray, request);
        QCOMPARE(statusOf(request), QByteArray("HTTP/1.1 404 Not Found"));
    }

    // Sixteen connections at once. When all are taken, a new one closes the one that has
    // waited longest for a request, so a scrape is still answered; a silent connection is
    // closed after the idle time.
    void connectionBounds()
    {
        std::vector<std::unique_ptr<QTcpSocket>> held;
        for (int i = 0; i < MetricsServer::MaxConnections; ++i) {
            held.push_back(connectRaw());
            QVERIFY(held.back());
            QTRY_COMPARE(m_server->connectionCount(), i + 1);
        }
        std::unique_ptr<QTcpSocket> extra = connectRaw();
        QVERIFY(extra);
        QTRY_COMPARE(held.front()->state(), QAbstractSocket::UnconnectedState);
        QCOMPARE(extra->state(), QAbstractSocket::ConnectedState);
        QCOMPARE(held.back()->state(), QAbstractSocket::ConnectedState);
        QCOMPARE(m_server->connectionCount(), MetricsServer::MaxConnections);
        QCOMPARE(statusOf("GET /metrics HTTP/1.1\r\nHost: x\r\n\r\n"),
                 QByteArray("HTTP/1.1 200 OK"));
        QCOMPARE(m_server->connectionCount(), MetricsServer::MaxConnections);

        held.clear();
        extra.reset();
        QTRY_COMPARE(m_server->connectionCount(), 0);
        m_server->setIdleTimeoutMs(200);
        std::unique_ptr<QTcpSocket> silent = connectRaw();
        QTRY_COMPARE(m_server->connectionCount(), 1);
        QTRY_COMPARE_WITH_TIMEOUT(m_server->connectionCount(), 0, 2000);
    }

    // Sixteen hostile clients drip their requests a byte at a time, each byte well within the
    // idle time: a scrape is still answered within a second, and each dripping request is cut
    // off at the request deadline however often its bytes come.
    void drippingClientsLockNobodyOut()
    {
        m_server->setRequestDeadlineMs(1500);
        const QByteArray request =
            "GET /metrics HTTP/1.1\r\nHost: x\r\nX-Pad: " + QByteArray(200, 'a') + "\r\n\r\n";
        std::vector<std::unique_ptr<QTcpSocket>> drippers;
        std::vector<qsizetype> sent;
        for (int i = 0; i < MetricsServer::MaxConnections; ++i) {
            drippers.push_back(connectRaw());
            QVERIFY(drippers.back());
            sent.push_back(0);
        }
        QTRY_COMPARE(m_server->connectionCount(), MetricsServer::MaxConnections);
        int dropped = 0;
        QTimer drip;
        QObject::connect(&drip, &QTimer::timeout, [&] {
            for (std::size_t i = 0; i < drippers.size(); ++i) {
                QTcpSocket *socket = drippers[i].get();
                if (socket->state() == QAbstractSocket::ConnectedState &&
                    sent[i] < request.size() - 1)
                    socket->write(request.mid(sent[i]++, 1));
            }
        });
        drip.start(50);
        QTest::qWait(300);

        QElapsedTimer scrape;
        scrape.start();
        const PrometheusTools::Reply reply =
            PrometheusTools::get(url(QStringLiteral("/metrics")), {}, 3000);
        const qint64 tookMs = scrape.elapsed();
        QCOMPARE(reply.status, 200);
        QVERIFY2(tookMs < 1000, qPrintable(QString::number(tookMs)));

        // Past the deadline every dripper is gone, though none was silent for long.
        QTRY_VERIFY_WITH_TIMEOUT(std::all_of(drippers.begin(), drippers.end(),
                                             [](const auto &s) {
                                                 return s->state() ==
                                                        QAbstractSocket::UnconnectedState;
                                             }),
                                 5000);
        for (std::size_t i = 0; i < drippers.size(); ++i)
            dropped += sent[i] < request.size() - 1;
        QCOMPARE(dropped, int(drippers.size()));
        QTRY_COMPARE(m_server->connectionCount(), 0);
    }

    // Whether the connection stays open after the answer: HTTP/1.0 closes unless keep-alive
    // was asked for, HTTP/1.1 keeps it unless close was; a request with a body or a malformed
    // one is answered and closed.
    void connectionAfterTheAnswer_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QByteArray>("status");
        QTest::addColumn<QByteArray>("connectionField"); // "" when none
        QTest::addColumn<bool>("staysOpen");
        QTest::newRow("1.0") << QByteArray("GET /metrics HTTP/1.0\r\n\r\n")
                             << QByteArray("HTTP/1.1 200 OK") << QByteArray("close") << false;
        QTest::newRow("1.0 keep-alive")
            << QByteArray("GET /metrics HTTP/1.0\r\nConnection: Keep-Alive\r\n\r\n")
            << QByteArray("HTTP/1.1 200 OK") << QByteArray("keep-alive") << true;
        QTest::newRow("1.0 not found")
            << QByteArray("GET / HTTP/1.0\r\n\r\n") << QByteArray("HTTP/1.1 404 Not Found")
            << QByteArray("close") << false;
        QTest::newRow("1.1") << QByteArray("GET /metrics HTTP/1.1\r\nHost: x\r\n\r\n")
                             << QByteArray("HTTP/1.1 200 OK") << QByteArray() << true;
        QTest::newRow("1.1 close")
            << QByteArray("GET /metrics HTTP/1.1\r\nHost: x\r\nConnection: TE, close\r\n\r\n")
            << QByteArray("HTTP/1.1 200 OK") << QByteArray("close") << false;
        QTest::newRow("query and absolute form")
            << QByteArray("GET http://127.0.0.1:9650/metrics?x=1 HTTP/1.1\r\nHost: x\r\n\r\n")
            << QByteArray("HTTP/1.1 200 OK") << QByteArray() << true;
        QTest::newRow("body") << QByteArray("POST /metrics HTTP/1.1\r\nHost: x\r\n"
                                            "Content-Length: 2\r\n\r\nab")
                              << QByteArray("HTTP/1.1 404 Not Found") << QByteArray("close")
                              << false;
        QTest::newRow("no version")
            << QByteArray("GET /metrics\r\n\r\n") << QByteArray("HTTP/1.1 400 Bad Request")
            << QByteArray("close") << false;
        QTest::newRow("HTTP/2") << QByteArray("GET /metrics HTTP/2.0\r\n\r\n")
                                << QByteArray("HTTP/1.1 400 Bad Request") << QByteArray("close")
                                << false;
        QTest::newRow("folded field")
            << QByteArray("GET /metrics HTTP/1.1\r\nHost: x\r\n folded\r\n\r\n")
            << QByteArray("HTTP/1.1 400 Bad Request") << QByteArray("close") << false;
    }

    void connectionAfterTheAnswer()
    {
        QFETCH(QByteArray, request);
        QFETCH(QByteArray, status);
        QFETCH(QByteArray, connectionField);
        QFETCH(bool, staysOpen);
        std::unique_ptr<QTcpSocket> socket = connectRaw();
        QVERIFY(socket);
        // The answer in full (its head, and as many bytes as its Content-Length says).
        const auto readAnswer = [&] {
            QByteArray answer;
            QElapsedTimer timer;
            timer.start();
            while (timer.elapsed() < 3000) {
                const qsizetype end = answer.indexOf("\r\n\r\n");
                if (end >= 0) {
                    const QRegularExpression length(QStringLiteral("Content-Length: (\\d+)"));
                    const auto m = length.match(QString::fromLatin1(answer.left(end)));
                    if (m.hasMatch() && answer.size() >= end + 4 + m.captured(1).toInt())
                        break;
                }
                QCoreApplication::processEvents(); // the server runs on this thread
                socket->waitForReadyRead(20);
                answer += socket->readAll();
            }
            return answer;
        };
        socket->write(request);
        const QByteArray answer = readAnswer();
        QCOMPARE(answer.left(answer.indexOf("\r\n")), status);
        const QRegularExpression field(QStringLiteral("\r\nConnection: ([^\r]*)\r\n"));
        const auto m =
            field.match(QString::fromLatin1(answer.left(answer.indexOf("\r\n\r\n") + 2)));
        QCOMPARE(m.hasMatch() ? m.captured(1).toLatin1() : QByteArray(), connectionField);
        if (!staysOpen) {
            QTRY_COMPARE_WITH_TIMEOUT(socket->state(), QAbstractSocket::UnconnectedState, 2000);
            return;
        }
        QTest::qWait(200);
        QCOMPARE(socket->state(), QAbstractSocket::ConnectedState);
        socket->write(request);
        const QByteArray again = readAnswer();
        QCOMPARE(again.left(again.indexOf("\r\n")), status);
    }

    // A request that never ends is cut off at its bound.
    void endlessRequestIsClosed()
    {
        std::unique_ptr<QTcpSocket> socket = connectRaw();
        QVERIFY(socket);
        socket->write("GET /metrics HTTP/1.1\r\nX-Pad: ");
        const QByteArray pad(4096, 'a');
        for (int i = 0; i < 16 && socket->state() == QAbstractSocket::ConnectedState; ++i) {
            socket->write(pad);
            socket->waitForBytesWritten(200);
            QTest::qWait(10);
        }
        QTRY_COMPARE(m_server->connectionCount(), 0);
    }

    // A client that asks and asks but never reads costs the polls nothing and is dropped
    // once its unread answers pass the bound.
    void clientThatNeverReads()
    {
        std::unique_ptr<QTcpSocket> socket = connectRaw();
        QVERIFY(socket);
        socket->setReadBufferSize(1); // it takes one byte, and then nothing more
        std::uint64_t counter = 1000;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout,
                         [&] { m_server->onPollFinished(busyPoll(counter += 1000)); });
        poll.start(20);
        QTimer ask;
        QObject::connect(&ask, &QTimer::timeout, [&] {
            if (socket->state() == QAbstractSocket::ConnectedState)
                socket->write("GET /metrics HTTP/1.1\r\nHost: x\r\n\r\n");
        });
        ask.start(1);
        Heartbeat heartbeat(5);
        QTRY_COMPARE_WITH_TIMEOUT(m_server->connectionCount(), 0, 15000);
        heartbeat.stop();
        QVERIFY2(heartbeat.longestGapMs() < 20,
                 qPrintable(QString::number(heartbeat.longestGapMs())));
        // The server goes on answering others.
        QCOMPARE(statusOf("GET /metrics HTTP/1.1\r\nHost: x\r\n\r\n"),
                 QByteArray("HTTP/1.1 200 OK"));
    }

    void promtoolOnTheEndpoint()
    {
        if (PrometheusTools::promtool().isEmpty())
            QSKIP("promtool is not installed");
        const PrometheusTools::Reply reply = PrometheusTools::get(url(QStringLiteral("/metrics")));
        QStringList findings;
        const int status = PrometheusTools::checkMetrics(reply.body, &findings);
        for (const QString &finding : findings) {
            QVERIFY2(finding.contains(QLatin1String("camelCase")) ||
                         finding.contains(QLatin1String("should have \"_total\" suffix")),
                     qPrintable(finding));
        }
        QCOMPARE(status, findings.isEmpty() ? 0 : 3);
    }

    // The setting's text: IP literals with a port only.
    void addressTexts_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("parsed"); // "" when refused
        QTest::newRow("IPv4") << "127.0.0.1:9650"
                              << "127.0.0.1:9650";
        QTest::newRow("IPv6") << "[::1]:9650"
                              << "[::1]:9650";
        QTest::newRow("LAN") << "192.0.2.10:80"
                             << "192.0.2.10:80";
        QTest::newRow("any") << "0.0.0.0:9650"
                             << "0.0.0.0:9650";
        QTest::newRow("no port") << "127.0.0.1"
                                 << "";
        QTest::newRow("IPv6 without brackets") << "::1:9650"
                                               << "";
        QTest::newRow("IPv4 in brackets") << "[127.0.0.1]:9650"
                                          << "";
        QTest::newRow("name") << "localhost:9650"
                              << "";
        QTest::newRow("short IPv4") << "127.1:9650"
                                    << "";
        QTest::newRow("port 0") << "127.0.0.1:0"
                                << "";
        QTest::newRow("port too big") << "127.0.0.1:65536"
                                      << "";
        QTest::newRow("port with sign") << "127.0.0.1:+80"
                                        << "";
        QTest::newRow("port with zero") << "127.0.0.1:080"
                                        << "";
        QTest::newRow("blank") << " 127.0.0.1:80"
                               << "";
    }

    void addressTexts()
    {
        QFETCH(QString, text);
        QFETCH(QString, parsed);
        const auto address = MetricsAddress::parse(text);
        QCOMPARE(address ? MetricsAddress::text(address->host, address->port) : QString(), parsed);
    }

    // The setting switches the endpoint; a taken port is a reason, not a silent failure.
    void endpointFollowsTheSetting()
    {
        MetricsEndpoint endpoint;
        const QString taken = MetricsAddress::text(QStringLiteral("127.0.0.1"), m_server->port());
        QVERIFY(endpoint.apply(taken).contains(QLatin1String("Cannot serve metrics at")));
        QVERIFY(!endpoint.isServing());
        const QString free = QStringLiteral("127.0.0.1:%1").arg(PrometheusTools::freeTcpPort());
        QCOMPARE(endpoint.apply(free), QString());
        QVERIFY(endpoint.isServing());
        endpoint.onPollFinished(busyPoll(7));
        const PrometheusTools::Reply reply =
            PrometheusTools::get(QStringLiteral("http://%1/metrics").arg(free));
        QVERIFY(reply.body.contains(
            "ifHCOutOctets{agent=\"127.0.0.1:1161\",ifIndex=\"1\",ifDescr=\"port 1\"} 7\n"));
        QCOMPARE(endpoint.apply(QString()), QString());
        QVERIFY(!endpoint.isServing());
        QVERIFY(endpoint.apply(QStringLiteral("localhost:1"))
                    .contains(QLatin1String("not an IP address")));
    }

    // Prometheus scrapes the endpoint every second while the counters move by 1,000,000
    // octets a second; its rate comes out the same.
    void prometheusComputesTheRate()
    {
        if (PrometheusTools::prometheus().isEmpty())
            QSKIP("prometheus is not installed");
        const QByteArray config = "global:\n  scrape_interval: 1s\nscrape_configs:\n"
                                  "  - job_name: ostraline\n    static_configs:\n"
                                  "    - targets: [\"127.0.0.1:" +
                                  QByteArray::number(m_server->port()) + "\"]\n";
        ServiceProcess prometheus;
        QVERIFY2(prometheus.startPrometheus(config), qPrintable(prometheus.errorString()));
        std::uint64_t counter = 0;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout,
                         [&] { m_server->onPollFinished(busyPoll(counter += 500000)); });
        poll.start(500);
        // Prometheus scrapes its first targets some seconds after it is ready; the rate is
        // asked for once the series covers more than its window.
        const auto samples = [&] {
            const QJsonArray r =
                QJsonDocument::fromJson(
                    prometheus.query(
                        QStringLiteral("count_over_time(ifHCInOctets{ifIndex=\"1\"}[20s])"), 1,
                        500))
                    .array();
            return r.isEmpty() ? 0
                               : r.first()
                                     .toObject()
                                     .value(QStringLiteral("value"))
                                     .toArray()
                                     .at(1)
                                     .toString()
                                     .toInt();
        };
        QTRY_VERIFY_WITH_TIMEOUT(samples() >= 8, 25000);
        const QByteArray series =
            prometheus.query(QStringLiteral("rate(ifHCInOctets{ifIndex=\"1\"}[6s])"), 1, 5000);
        const QJsonArray result = QJsonDocument::fromJson(series).array();
        QCOMPARE(result.size(), 1);
        const QJsonObject metric =
            result.first().toObject().value(QStringLiteral("metric")).toObject();
        QCOMPARE(metric.value(QStringLiteral("agent")).toString(),
                 QStringLiteral("127.0.0.1:1161"));
        QCOMPARE(metric.value(QStringLiteral("ifDescr")).toString(), QStringLiteral("port 1"));
        const double rate = result.first()
                                .toObject()
                                .value(QStringLiteral("value"))
                                .toArray()
                                .at(1)
                                .toString()
                                .toDouble();
        QVERIFY2(rate > 850000 && rate < 1150000, qPrintable(QString::number(rate)));
    }
};

QTEST_GUILESS_MAIN(TestMetricsServer)
#include "tst_metricsserver.moc"
