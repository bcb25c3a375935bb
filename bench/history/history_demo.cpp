// The history window on a made-up week of two interfaces (office traffic by day, a night
// backup, a stall of 20 minutes, a link down for half an hour, a spike), written into a
// temporary folder through the store's writer, with input errors before the link goes down
// and output discards around the spike. --screenshot FILE saves the window as a PNG and ends
// (--picture FILE also saves what "Save as PNG" writes); otherwise the window stays open.

#include "HistoryFileName.h"
#include "HistoryGraph.h"
#include "HistoryWindow.h"
#include "HistoryWriter.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QTimer>

#include <rrd.h>

#include <cmath>
#include <vector>

namespace
{

double office(std::int64_t t, double peak)
{
    const QDateTime local = QDateTime::fromSecsSinceEpoch(t);
    const double hour = local.time().hour() + local.time().minute() / 60.0;
    const bool weekday = local.date().dayOfWeek() <= 5;
    double load = 0.04 * peak;
    if (weekday && hour > 7.5 && hour < 18.5)
        load += peak * 0.6 * std::pow(std::sin((hour - 7.5) / 11 * M_PI), 1.5);
    if (hour >= 1 && hour < 2.5)
        load += 0.35 * peak; // the night backup
    return load * (0.85 + 0.3 * std::fabs(std::sin(double(t) / 97.0)));
}

void writeWeek(const QString &folder, const QString &ifIndex, double peak, std::int64_t now)
{
    constexpr int Interval = 6;
    const std::int64_t start = now - 7 * 86400;
    HistoryWriter writer(folder);
    InterfaceReading r;
    r.address = QStringLiteral("127.0.0.1:1161");
    r.ifIndex = ifIndex;
    r.bandwidth = 100000000;
    r.polled = true;
    PollResult first;
    first.time = QDateTime::fromSecsSinceEpoch(start);
    first.pollIntervalSeconds = Interval;
    first.interfaces = {r};
    writer.write(first);
    const QByteArray path = QFile::encodeName(
        QDir(folder).filePath(HistoryFileName::forInterface(r.address, r.ifIndex)));
    std::vector<QByteArray> texts;
    const std::int64_t stall = now - 5 * 3600, down = now - 3 * 3600, spike = now - 2 * 3600;
    for (std::int64_t t = start + Interval; t <= now; t += Interval) {
        if (t > stall && t < stall + 1200)
            continue; // the program was not running
        const double in = office(t, peak / 8) + (std::llabs(t - spike) < 30 ? peak / 10 : 0);
        r.outcome = InterfaceReading::Outcome::Good;
        r.inOctetsPerSecond = in;
        r.outOctetsPerSecond = 0.35 * in + 0.02 * peak / 8;
        r.adminStatus = 1;
        r.operStatus = t > down && t < down + 1800 ? 2 : 1;
        if (r.operStatus == 2)
            r.outcome = InterfaceReading::Outcome::Failed;
        const bool failing = t > down - 2400 && t < down;
        r.inErrorsDelta = failing ? Interval * (5 + (t / Interval) % 20) : 0;
        r.outErrorsDelta = 0;
        r.inDiscardsDelta = 0;
        r.outDiscardsDelta = std::llabs(t - spike) < 600 ? Interval * 40 : 0;
        texts.push_back(
            HistoryWriter::updateText(r, Interval, static_cast<std::time_t>(t)).toLatin1());
        if (texts.size() == 20000 || t + Interval > now) {
            std::vector<const char *> argv;
            for (const QByteArray &text : texts)
                argv.push_back(text.constData());
            rrd_update_r(path.constData(), nullptr, static_cast<int>(argv.size()), argv.data());
            texts.clear();
        }
    }
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    const qsizetype shotAt = arguments.indexOf(QStringLiteral("--screenshot"));
    const QString shot =
        shotAt > 0 && shotAt + 1 < arguments.size() ? arguments[shotAt + 1] : QString();
    const qsizetype pictureAt = arguments.indexOf(QStringLiteral("--picture"));
    const QString picture =
        pictureAt > 0 && pictureAt + 1 < arguments.size() ? arguments[pictureAt + 1] : QString();

    QTemporaryDir folder;
    const std::int64_t now = QDateTime::currentSecsSinceEpoch() / 6 * 6;
    writeWeek(folder.path(), QStringLiteral("2"), 60e6, now);
    writeWeek(folder.path(), QStringLiteral("3"), 20e6, now);

    HistoryWindow window(folder.path());
    InterfaceReading uplink;
    uplink.address = QStringLiteral("127.0.0.1:1161");
    uplink.ifIndex = QStringLiteral("2");
    uplink.description = QStringLiteral("Office uplink");
    window.setLoaded({uplink});
    window.showInterface(uplink.address, uplink.ifIndex);
    window.setThresholds(70, 20);
    window.resize(980, 640);
    window.setSpan(HistoryWindow::SixHours);
    window.show();
    if (shot.isEmpty())
        return app.exec();

    QTimer::singleShot(300, &window, [&] {
        // Hover over the spike for the read-out.
        HistoryGraph *graph = window.graph();
        const QPointF at(graph->xOf(double(now - 2 * 3600)), graph->height() / 3.0);
        QMouseEvent move(QEvent::MouseMove, at, graph->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QApplication::sendEvent(graph, &move);
        QTimer::singleShot(200, &window, [&] {
            const bool saved =
                window.grab().save(shot, "PNG") && (picture.isEmpty() || window.savePng(picture));
            app.exit(saved ? 0 : 1);
        });
    });
    return app.exec();
}
