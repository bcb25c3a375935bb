// Every speed figure of the README in one run:
//   1. the get step over 20 interfaces (40 queries) against an answering loopback snmpd,
//      a responder that answers after a delay, and a silent one, each against the
//      one-after-another way;
//   2. one Calculate over 20 rows;
//   3. one tick of all graphs and one paint of the whole window with 20 graph slots and
//      their captions;
//   4. the start-up time of the program to its first shown main window.
//
// Usage: bench_all [--delay-ms N] [--sample N] [--starts N]

#include "BenchSupport.h"
#include "Calculation.h"
#include "Counters64Bench.h"
#include "DeviceFile.h"
#include "GraphBoard.h"
#include "HealthBench.h"
#include "Histograph.h"
#include "InterfaceList.h"
#include "InterfaceTable.h"
#include "MainWindow.h"
#include "SnmpBench.h"
#include "TransLabel.h"

#include <QApplication>
#include <QCheckBox>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QFile>
#include <QPixmap>
#include <QProcess>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace
{

void heading(const char *text)
{
    std::printf("\n== %s\n", text);
    std::fflush(stdout);
}

// Mean microseconds of one operation over `runs`, after a tenth as warm-up.
double microsPerRun(int runs, const std::function<void(int)> &operation)
{
    for (int i = 0; i < qMax(1, runs / 10); ++i)
        operation(i);
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < runs; ++i)
        operation(i);
    return double(clock.nsecsElapsed()) / 1000.0 / runs;
}

QString cpuModel()
{
    QFile file("/proc/cpuinfo");
    if (file.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : file.readAll().split('\n')) {
            if (line.startsWith("model name"))
                return QString::fromUtf8(line.mid(line.indexOf(':') + 1).trimmed());
        }
    }
    return QSysInfo::currentCpuArchitecture();
}

QStringList deviceLines(const QString &host)
{
    QStringList lines;
    for (int i = 1; i <= SnmpBench::Interfaces; ++i)
        lines.append(QString("%1;%2;100000000;public;Interface %2").arg(host).arg(i));
    return lines;
}

void getStep(int delayMs, int sample)
{
    heading("Get step over 20 interfaces (40 queries): all at once vs one after another");
    const SnmpBench::Agents agents(delayMs);
    bool extrapolated = false;
    if (!agents.answeringHost().isEmpty()) {
        SnmpBench::timeGetStep("public", agents.answeringHost()); // warm-up
        const auto step = SnmpBench::timeGetStep("public", agents.answeringHost());
        const auto requests = SnmpBench::counterRequests("public", agents.answeringHost());
        const double blocking = SnmpBench::timeBlocking(requests, 0, &extrapolated);
        SnmpBench::report("(a) answered by a loopback snmpd", "get step", step, blocking,
                          extrapolated);
    } else {
        std::printf("(a) skipped: %s\n", qPrintable(agents.answeringError()));
    }
    {
        const auto step = SnmpBench::timeGetStep("public", agents.delayedHost());
        const auto requests = SnmpBench::counterRequests("public", agents.delayedHost());
        const double blocking = SnmpBench::timeBlocking(requests, 0, &extrapolated);
        SnmpBench::report(QString("(b) answered after %1 ms (an agent across a WAN)").arg(delayMs),
                          "get step", step, blocking, extrapolated);
    }
    {
        const auto step = SnmpBench::timeGetStep("public", agents.silentHost());
        const auto requests = SnmpBench::counterRequests("public", agents.silentHost());
        const double blocking = SnmpBench::timeBlocking(requests, sample, &extrapolated);
        SnmpBench::report("(c) silent (every query waits the full 2000 ms)", "get step", step,
                          blocking, extrapolated);
    }
}

void calculate()
{
    heading("Calculate over 20 rows");
    InterfaceTable table;
    InterfaceList list;
    table.writeHeaderAndInitialValues();
    DeviceFile::store(deviceLines("192.0.2.1"), table, list);
    qint64 faults = 0;
    QElapsedTimer clock;
    qint64 calculateNs = 0;
    const int runs = 20000;
    for (int i = 0; i < runs; ++i) {
        // New readings for every row, the way the get step leaves them; two rows wrap.
        for (int row = 1; row <= SnmpBench::Interfaces; ++row) {
            // 1.5 to 15 MB in per 3 s on 100 Mbit/s (4 % to 40 %), a third of it out.
            const quint64 step = 1500000ULL * quint64(row % 10 + 1);
            const quint32 in = quint32(4294000000ULL + quint64(i) * step);
            const quint32 out = quint32(quint64(i) * step / 3);
            table.setCell(Col::OrgIn, row, QString::number(in));
            table.setCell(Col::OrgOut, row, QString::number(out));
        }
        clock.start();
        faults += Calculation::calculate(table, list, 3).size();
        calculateNs += clock.nsecsElapsed();
    }
    std::printf("  one Calculate (20 rows, results written back as text): %8.1f us  "
                "(mean of %d, %lld row faults)\n",
                double(calculateNs) / 1000.0 / runs, runs, faults);
    std::printf("  e.g. row 1 after the last run: in %s %%, out %s %%, combined %s %%\n",
                qPrintable(table.cell(Col::InUtil, 1)), qPrintable(table.cell(Col::OutUtil, 1)),
                qPrintable(table.cell(Col::CombinedUtil, 1)));
}

void board()
{
    heading("Graph board: 20 slots with captions (main window, offscreen)");
    QTemporaryDir folder;
    const QString device = folder.filePath("twenty.dev");
    {
        QFile file(device);
        if (!file.open(QIODevice::WriteOnly))
            return;
        // Never polled here: the address only fills the table.
        file.write(deviceLines("127.0.0.1:9").join('\n').toUtf8());
    }
    TForm1 form(device);
    form.show();
    form.Show20graphs1Click();
    if (!form.CheckBox2->isChecked())
        form.Showlastvalues1Click();
    if (!form.CheckBox3->isChecked())
        form.Showinterfacenames1Click();
    // Two rounds of readings so that Calculate composes real last-values captions.
    for (int round = 1; round <= 2; ++round) {
        for (int row = 1; row <= SnmpBench::Interfaces; ++row) {
            form.interfaceTable().setCell(Col::OrgIn, row, QString::number(round * 1000000 * row));
            form.interfaceTable().setCell(Col::OrgOut, row, QString::number(round * 400000 * row));
        }
        form.Button2Click();
    }
    QCoreApplication::processEvents();
    std::printf("  window %dx%d, %d graphs, captions: last values and names; %s\n", form.width(),
                form.height(), SnmpBench::Interfaces,
                qPrintable(form.board().slot(1).LastValuesCaption->Caption()));

    auto tickAll = [&form](int i) {
        for (int k = 1; k <= SnmpBench::Interfaces; ++k) {
            form.board().slot(k).Graph->setValue((i * 7 + k * 13) % 101);
            form.board().slot(k).Graph->TimerTick();
        }
    };
    const double tick = microsPerRun(20000, tickAll);
    std::printf("  one tick of all 20 graphs (no paint):          %10.1f us\n", tick);
    const double tickPaint = microsPerRun(300, [&](int i) {
        tickAll(i);
        form.grab();
    });
    std::printf("  one tick of all 20 + paint of the window (grab): %8.1f us\n", tickPaint);
    const double paint = microsPerRun(300, [&](int) { form.grab(); });
    std::printf("  paint of the window alone (grab):              %10.1f us\n", paint);
}

void startUp(int starts)
{
    heading("Start-up: process start to the first shown main window");
    const QString probe = QStringLiteral(OSTRALINE_STARTUP_PROBE);
    QTemporaryDir folder;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", folder.filePath("config"));
    env.insert("XDG_RUNTIME_DIR", folder.path());
    env.insert("OSTRALINE_NO_SPLASH", "1");
    if (!env.contains("QT_QPA_PLATFORM"))
        env.insert("QT_QPA_PLATFORM", "offscreen");
    QList<double> wall, inside;
    // The first start writes the default settings; it is reported apart from the rest.
    for (int run = 0; run <= starts; ++run) {
        QProcess process;
        process.setProcessEnvironment(env);
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QElapsedTimer clock;
        clock.start();
        process.start(probe, {});
        QByteArray output;
        while (!output.contains('\n') && process.waitForReadyRead(10000))
            output += process.readAllStandardOutput();
        const double ms = clock.nsecsElapsed() / 1e6;
        process.waitForFinished(5000);
        if (!output.startsWith("shown ")) {
            std::printf("  skipped: the program did not report a shown window (%s)\n",
                        output.trimmed().constData());
            return;
        }
        const double own = output.mid(6).trimmed().toDouble();
        if (run == 0) {
            std::printf("  first start (cold caches, writes the default settings): %7.1f ms\n", ms);
            continue;
        }
        wall.append(ms);
        inside.append(own);
    }
    std::sort(wall.begin(), wall.end());
    std::sort(inside.begin(), inside.end());
    std::printf("  later starts, median of %d:                  %7.1f ms  (min %.1f, max %.1f)\n",
                starts, wall[starts / 2], wall.first(), wall.last());
    std::printf("  of which in the program (static init to shown): %.1f ms\n", inside[starts / 2]);
    std::printf("  platform: %s\n", qPrintable(env.value("QT_QPA_PLATFORM")));
}

} // namespace

int main(int argc, char **argv)
{
    // The offscreen platform's notice about size hints says nothing about the figures.
    static const QtMessageHandler defaultHandler = qInstallMessageHandler(nullptr);
    qInstallMessageHandler(
        [](QtMsgType type, const QMessageLogContext &context, const QString &message) {
            if (!message.contains("propagateSizeHints"))
                defaultHandler(type, context, message);
        });
    BenchSupport::usePrivateSettings();
    qputenv("OSTRALINE_NO_SPLASH", "1");
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption delayOption("delay-ms", "Reply delay of the slow agent.", "ms", "50");
    const QCommandLineOption sampleOption(
        "sample", "Queries timed one after another against the silent agent.", "n", "3");
    const QCommandLineOption startsOption("starts", "Timed starts of the program.", "n", "5");
    parser.addOptions({delayOption, sampleOption, startsOption});
    parser.process(app);

    std::printf("Ostraline benchmarks: %s, %d logical CPUs, Qt %s, %s\n", qPrintable(cpuModel()),
                QThread::idealThreadCount(), qVersion(), qPrintable(QSysInfo::prettyProductName()));
    getStep(parser.value(delayOption).toInt(), qMax(1, parser.value(sampleOption).toInt()));
    heading("Get step, 20 interfaces, \"64-bit counters\" on against off (median of 5)");
    SnmpBench::runCounters64(5);
    heading("Get step, 20 SNMP v1 interfaces, \"link health\" on against off (median of 5)");
    SnmpBench::runLinkHealth(5);
    calculate();
    board();
    startUp(qMax(1, parser.value(startsOption).toInt()));
    return 0;
}
