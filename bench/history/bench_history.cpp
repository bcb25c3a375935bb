// Costs of the history, in milliseconds: writing one poll of 20 interfaces into their files
// (the first poll, which creates the files, and a steady poll); opening a year of one interface
// in the history window (reading the file, the readings of the span and one paint); and one
// repaint of the graph while panning across a week at poll resolution (6 s: 100,800 samples).
// Run with a folder on the disk to measure (default: a temporary folder).

#include "HistoryFileName.h"
#include "HistoryGraph.h"
#include "HistoryReader.h"
#include "HistoryStatistics.h"
#include "HistoryWindow.h"
#include "HistoryWriter.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QTemporaryDir>

#include <rrd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace
{

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void report(const char *name, const std::vector<double> &ms, double goal)
{
    std::printf("%-58s median %8.3f ms  max %8.3f ms  goal < %g ms  (%zu runs)\n", name, median(ms),
                *std::max_element(ms.begin(), ms.end()), goal, ms.size());
}

PollResult twentyInterfaces(std::int64_t time, int interval, int k)
{
    PollResult result;
    result.time = QDateTime::fromSecsSinceEpoch(time);
    result.pollIntervalSeconds = interval;
    for (int i = 1; i <= 20; ++i) {
        InterfaceReading r;
        r.row = i;
        r.address = QStringLiteral("127.0.0.1:1161");
        r.ifIndex = QString::number(i);
        r.bandwidth = 100000000;
        r.polled = true;
        r.outcome = InterfaceReading::Outcome::Good;
        r.inOctetsPerSecond = 1000.0 * (k % 50 + i);
        r.outOctetsPerSecond = 500.0 * (k % 30 + i);
        result.interfaces.append(r);
    }
    return result;
}

// A year of one interface at 60 s, written in large batches of updates.
void writeYear(const QString &folder, std::int64_t end)
{
    constexpr std::int64_t Year = 365 * 86400, Step = 60;
    HistoryWriter writer(folder);
    InterfaceReading r;
    r.address = QStringLiteral("127.0.0.1");
    r.ifIndex = QStringLiteral("1");
    r.bandwidth = 100000000;
    r.polled = true;
    PollResult first;
    first.time = QDateTime::fromSecsSinceEpoch(end - Year);
    first.pollIntervalSeconds = 60;
    first.interfaces = {r};
    writer.write(first);
    const QByteArray path = QFile::encodeName(
        QDir(folder).filePath(HistoryFileName::forInterface(r.address, r.ifIndex)));
    std::vector<QByteArray> texts;
    for (std::int64_t t = end - Year + Step; t <= end; t += Step) {
        const double phase = std::fmod(double(t) / 86400.0, 1.0);
        r.outcome = InterfaceReading::Outcome::Good;
        r.inOctetsPerSecond = 2e6 + 1.5e6 * std::sin(phase * 6.283);
        r.outOctetsPerSecond = 0.4 * r.inOctetsPerSecond;
        texts.push_back(HistoryWriter::updateText(r, 60, static_cast<std::time_t>(t)).toLatin1());
        if (texts.size() == 20000 || t + Step > end) {
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
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir temporary;
    const QString base = argc > 1 ? QString::fromLocal8Bit(argv[1]) : temporary.path();
    const std::int64_t now = QDateTime::currentSecsSinceEpoch() / 60 * 60;

    // Writing one poll of 20 interfaces.
    {
        const QString folder = QDir(base).filePath(QStringLiteral("write"));
        QDir(folder).removeRecursively();
        HistoryWriter writer(folder);
        QElapsedTimer clock;
        clock.start();
        writer.write(twentyInterfaces(now - 3000, 3, 0));
        const std::vector<double> creation{double(clock.nsecsElapsed()) / 1e6};
        report("first poll of 20 interfaces (creates 20 files)", creation, 2000);
        std::vector<double> steady;
        for (int k = 1; k <= 500; ++k) {
            clock.restart();
            writer.write(twentyInterfaces(now - 3000 + 3 * k, 3, k));
            steady.push_back(double(clock.nsecsElapsed()) / 1e6);
        }
        report("one poll of 20 interfaces written", steady, 2);
    }

    // Opening a year of one interface.
    {
        const QString folder = QDir(base).filePath(QStringLiteral("year"));
        QDir(folder).removeRecursively();
        writeYear(folder, now);
        std::vector<double> create, open, fetch;
        for (int run = 0; run < 10; ++run) {
            QElapsedTimer clock;
            clock.start();
            const QString path = QDir(folder).filePath(
                HistoryFileName::forInterface(QStringLiteral("127.0.0.1"), QStringLiteral("1")));
            QString error;
            const HistorySeries series = HistoryReader::fetch(path, now - 365 * 86400, now, &error);
            fetch.push_back(double(clock.nsecsElapsed()) / 1e6);
            if (series.isEmpty())
                std::printf("cannot read the year: %s\n", qPrintable(error));
            clock.restart();
            HistoryWindow window(folder);
            window.resize(1000, 560);
            // The window reads on another thread: wait for what it asked for.
            const auto settle = [&window] {
                while (window.isReading())
                    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
            };
            settle();
            QImage image(window.size(), QImage::Format_ARGB32_Premultiplied);
            window.render(&image);
            create.push_back(double(clock.nsecsElapsed()) / 1e6);
            clock.restart();
            window.setSpan(HistoryWindow::Year);
            settle();
            window.render(&image);
            open.push_back(double(clock.nsecsElapsed()) / 1e6);
        }
        report("read a year of one interface (rrd_fetch AVERAGE+MAX)", fetch, 200);
        report("create the window and paint it (last hour)", create, 200);
        report("show a year in the window (read, readings, paint)", open, 200);
    }

    // One repaint while panning across a week at poll resolution.
    {
        HistorySeries week;
        week.step = 6;
        week.start = now - 7 * 86400;
        for (std::int64_t i = 0; i < 7 * 86400 / 6; ++i) {
            const double v = 8 * (2e6 + 1.5e6 * std::sin(double(i) / 3000.0)) + (i % 97) * 1e4;
            const bool gap = i % 20000 < 50;
            week.inAverage.append(gap ? HistorySeries::Unknown : v);
            week.outAverage.append(gap ? HistorySeries::Unknown : 0.4 * v);
            week.inMaximum.append(week.inAverage.last());
            week.outMaximum.append(week.outAverage.last());
            week.bandwidth.append(1e8);
            week.linkDown.append(i % 30000 < 200 ? 1.0 : 0.0);
        }
        HistoryGraph graph;
        graph.resize(1000, 480);
        graph.setSeries(week);
        QImage image(graph.size(), QImage::Format_ARGB32_Premultiplied);
        std::vector<double> paints;
        for (int k = 0; k < 200; ++k) {
            graph.setView(week.start + k * 600, week.start + k * 600 + 7 * 86400 - 120000);
            QElapsedTimer clock;
            clock.start();
            graph.render(&image);
            paints.push_back(double(clock.nsecsElapsed()) / 1e6);
        }
        report("one repaint panning a week at 6 s (100,800 samples)", paints, 16);
    }
    return 0;
}
