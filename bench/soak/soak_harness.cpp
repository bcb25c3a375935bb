// Long run of the main window polling twenty interfaces every 3 seconds with "Double update
// speed" (graphs tick every second), all twenty graphs shown with their captions. Prints the
// resident memory and CPU time of this process when polling starts, after the warm-up, at
// regular marks and at the end; fails when the resident memory grew by more than the
// tolerance between the end of the warm-up and the end.
//
//   soak_harness [--seconds N] [--warmup N] [--tolerance-kb N] [--device FILE]
//
// Without --device it serves twenty simulated interfaces from a loopback snmpd, run by a
// second copy of this program (--serve FILE), so that nothing of the agent's side (its
// process handle and the output it buffers) counts against the measured process.

#include "BenchSupport.h"
#include "GetStep.h"
#include "InterfaceList.h"
#include "MainWindow.h"
#include "PollCycle.h"

#include <QApplication>
#include <QCheckBox>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <unistd.h>

namespace
{

struct Mark {
    double seconds = 0;
    BenchSupport::Memory memory;
    double cpu = 0;
};

Mark mark(const QElapsedTimer &clock)
{
    return {clock.elapsed() / 1000.0, BenchSupport::memory(), BenchSupport::cpuSeconds()};
}

void print(const char *name, const Mark &m, int polls)
{
    std::printf("%-8s t=%7.1f s  rss=%7ld KiB  peak=%7ld KiB  cpu=%7.2f s  polls=%d\n", name,
                m.seconds, m.memory.rssKb, m.memory.peakKb, m.cpu, polls);
    std::fflush(stdout);
}

} // namespace

// The serving copy: starts the simulated network, writes its device file, reports "ready"
// and serves until its input closes (the measuring copy ended).
int serve(int argc, char **argv, const QString &deviceFile)
{
    QCoreApplication app(argc, argv);
    SimulatedNetwork network;
    if (!network.start() || !network.writeDeviceFile(deviceFile)) {
        std::fprintf(stderr, "simulated network: %s\n", qPrintable(network.errorString()));
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    QSocketNotifier input(0, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &app, [&] {
        char byte = 0;
        if (::read(0, &byte, 1) <= 0)
            app.quit();
    });
    return app.exec();
}

int main(int argc, char **argv)
{
    if (argc == 3 && qstrcmp(argv[1], "--serve") == 0)
        return serve(argc, argv, QString::fromLocal8Bit(argv[2]));
    BenchSupport::usePrivateSettings();
    qputenv("OSTRALINE_NO_SPLASH", "1");
    QApplication app(argc, argv);

    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption secondsOption("seconds", "Length of the run.", "n", "600");
    const QCommandLineOption warmupOption(
        "warmup", "Seconds before the memory baseline (default: a tenth, 10 to 60).", "n");
    const QCommandLineOption toleranceOption("tolerance-kb", "Allowed growth of the RSS.", "kb",
                                             "2048");
    const QCommandLineOption deviceOption("device", "Device file instead of the simulation.",
                                          "file");
    parser.addOptions({secondsOption, warmupOption, toleranceOption, deviceOption});
    parser.process(app);
    const int seconds = qMax(10, parser.value(secondsOption).toInt());
    const int warmup = parser.isSet(warmupOption) ? parser.value(warmupOption).toInt()
                                                  : qBound(10, seconds / 10, 60);
    const long toleranceKb = parser.value(toleranceOption).toLong();

    QTemporaryDir folder;
    QProcess server;
    QString device = parser.value(deviceOption);
    if (device.isEmpty()) {
        device = folder.filePath("network.dev");
        server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        server.start(QCoreApplication::applicationFilePath(), {"--serve", device});
        QByteArray answer;
        while (!answer.contains('\n') && server.waitForReadyRead(10000))
            answer += server.readAllStandardOutput();
        if (!answer.startsWith("ready")) {
            std::fprintf(stderr, "the simulated network did not start\n");
            return 1;
        }
    }

    QElapsedTimer clock;
    clock.start();
    TForm1 form(QFileInfo(device).absoluteFilePath());
    form.show();
    form.Show20graphs1Click();
    if (!form.CheckBox2->isChecked())
        form.Showlastvalues1Click();
    if (!form.CheckBox3->isChecked())
        form.Showinterfacenames1Click();
    if (!form.CheckBox4->isChecked())
        form.Showerrors1Click();
    form.N3seconds1Click();
    if (!form.CheckBoxDouble->isChecked())
        form.Doubleupdatespeed1Click();
    int polls = 0;
    QObject::connect(&form.poller(), &Poller::getFinished, &app, [&] { ++polls; });
    std::printf("soak: %d interfaces, %d s interval, double update speed %s, %d s run, "
                "%d s warm-up\n",
                form.interfaceList().count(), form.pollCycle().pollInterval(),
                form.CheckBoxDouble->isChecked() ? "on" : "off", seconds, warmup);
    form.Button3Click();
    const Mark start = mark(clock);
    print("start", start, polls);

    Mark baseline = start;
    QTimer::singleShot(warmup * 1000, &app, [&] {
        baseline = mark(clock);
        print("warm", baseline, polls);
    });
    QTimer marks;
    QObject::connect(&marks, &QTimer::timeout, &app, [&] { print("at", mark(clock), polls); });
    marks.start(60000);

    int status = 0;
    QTimer::singleShot(seconds * 1000, &app, [&] {
        marks.stop();
        const Mark end = mark(clock);
        print("end", end, polls);
        int polled = 0;
        for (int p = 0; p < form.interfaceList().count(); ++p)
            polled += form.interfaceList().isChecked(p) ? 1 : 0;
        const long growth = end.memory.rssKb - baseline.memory.rssKb;
        const double span = end.seconds - baseline.seconds;
        std::printf("interfaces still polled: %d of %d\n", polled, form.interfaceList().count());
        std::printf("CPU: %.2f s over %.0f s after warm-up (%.2f %% of one core)\n",
                    end.cpu - baseline.cpu, span, 100.0 * (end.cpu - baseline.cpu) / span);
        std::printf("RSS growth after warm-up: %ld KiB (tolerance %ld KiB)\n", growth, toleranceKb);
        const bool polledAll = polled == form.interfaceList().count() && polls > 0;
        status = (growth <= toleranceKb && polledAll) ? 0 : 1;
        std::printf("%s\n", status == 0 ? "PASS" : "FAIL");
        form.Button4Click();
        app.exit(status);
    });
    const int result = app.exec();
    // The serving copy stops its agent when its input closes.
    server.closeWriteChannel();
    server.waitForFinished(5000);
    return result;
}
