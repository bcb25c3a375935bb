// The board's get step over 20 interfaces of one loopback snmpd: CPU time of this process per
// poll (getrusage, user + system; the agent's own CPU is apart), wall time per poll and the
// open files before and after. Usage: bench_getstep [POLLS] (200 by default).

#include "DeviceFile.h"
#include "GetStep.h"
#include "InterfaceList.h"
#include "InterfaceTable.h"
#include "SnmpAgent.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>

#include <sys/resource.h>

#include <cstdio>

namespace
{

constexpr int Interfaces = 20;
constexpr int WarmUp = 5;

struct Cpu {
    double userMs = 0;
    double systemMs = 0;
};

Cpu cpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto ms = [](const timeval &t) { return double(t.tv_sec) * 1e3 + t.tv_usec / 1e3; };
    return {ms(usage.ru_utime), ms(usage.ru_stime)};
}

qsizetype openFiles()
{
    return QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System).size();
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int polls = argc > 1 ? qMax(1, QString::fromLocal8Bit(argv[1]).toInt()) : 200;
    if (!SnmpAgent::isAvailable()) {
        std::fprintf(stderr, "snmpd is not installed\n");
        return 1;
    }
    SnmpAgent agent;
    for (int i = 1; i <= Interfaces; ++i)
        agent.setCounters(i, 1000u * quint32(i), 2000u * quint32(i));
    if (!agent.start()) {
        std::fprintf(stderr, "snmpd did not start: %s\n", qPrintable(agent.errorString()));
        return 1;
    }

    InterfaceTable table;
    InterfaceList list;
    table.writeHeaderAndInitialValues();
    QStringList lines;
    for (int i = 1; i <= Interfaces; ++i)
        lines.append(agent.host() + QLatin1Char(';') + QString::number(i) +
                     QStringLiteral(";100000000;") + SnmpAgent::community() +
                     QStringLiteral(";if") + QString::number(i));
    DeviceFile::store(lines, table, list);
    Poller poller(table, list);
    poller.setOnErrorMode(OnErrorMode::Zeroes);

    QEventLoop loop;
    QObject::connect(&poller, &Poller::getFinished, &loop, &QEventLoop::quit);
    const auto poll = [&] {
        poller.start();
        loop.exec();
    };
    for (int i = 0; i < WarmUp; ++i)
        poll();
    const qsizetype filesBefore = openFiles();
    int answered = 0;
    const Cpu cpuStart = cpuMs();
    QElapsedTimer wall;
    wall.start();
    for (int i = 0; i < polls; ++i) {
        poll();
        for (int row = 1; row <= Interfaces; ++row) {
            answered += table.cell(Col::OrgIn, row).isEmpty() ? 0 : 1;
            answered += table.cell(Col::OrgOut, row).isEmpty() ? 0 : 1;
        }
    }
    const double wallMs = double(wall.nsecsElapsed()) / 1e6;
    const Cpu cpuEnd = cpuMs();
    const double user = cpuEnd.userMs - cpuStart.userMs;
    const double system = cpuEnd.systemMs - cpuStart.systemMs;
    std::printf("get step, %d interfaces (%d GetRequests), %d polls after %d warm-up polls\n",
                Interfaces, 2 * Interfaces, polls, WarmUp);
    std::printf("  CPU per poll:   %.3f ms (user %.3f + system %.3f, this process only)\n",
                (user + system) / polls, user / polls, system / polls);
    std::printf("  wall per poll:  %.3f ms\n", wallMs / polls);
    std::printf("  readings:       %d of %d\n", answered, 2 * Interfaces * polls);
    std::printf("  open files:     %lld before, %lld after\n", qlonglong(filesBefore),
                qlonglong(openFiles()));
    return 0;
}
