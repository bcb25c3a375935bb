#include "Counters64Bench.h"

#include "GetStep.h"
#include "HostileAgent.h"
#include "InterfaceList.h"
#include "InterfaceTable.h"
#include "SnmpAgent.h"
#include "SnmpBench.h"

#include <QEventLoop>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace
{

constexpr int Interfaces = 20;

struct Figures {
    double ms = 0;
    double longestGapMs = 0;
    int requests = 0;
    int widths64 = 0; // interfaces that read 64-bit counters afterwards
};

struct Board {
    InterfaceTable table;
    InterfaceList list;
    Poller poller{table, list};

    Board(const QString &host, bool use64)
    {
        table.writeHeaderAndInitialValues();
        for (int row = 1; row <= Interfaces; ++row) {
            table.setCell(Col::Number, row, QString::number(row));
            table.setCell(Col::IP, row, host);
            table.setCell(Col::Interface, row, QString::number(row));
            table.setCell(Col::Community, row, SnmpAgent::community());
            table.setCell(Col::Bandwidth, row, QStringLiteral("10000000000"));
            list.append(QString::number(row));
        }
        poller.setOnErrorMode(OnErrorMode::Zeroes);
        poller.counters().setEnabled(use64);
    }

    Figures poll()
    {
        Figures figures;
        QList<GetStep::PlannedRequest> plan;
        figures.requests = int(GetStep::planRequests(table, list, poller.counters(), &plan).size());
        const SnmpBench::LoopFigures timed = SnmpBench::timeInLoop(
            [this](QEventLoop &loop) {
                QObject::connect(&poller, &Poller::getFinished, &loop, &QEventLoop::quit);
                poller.start();
            },
            10);
        figures.ms = timed.ms;
        figures.longestGapMs = timed.longestGapMs;
        for (int row = 1; row <= Interfaces; ++row)
            figures.widths64 += poller.counters().width(row) == CounterChoice::Width::Bits64;
        return figures;
    }
};

// Median time of `runs` runs of one case; the other figures from the slowest run.
Figures median(int runs, const std::function<Figures()> &once)
{
    std::vector<Figures> all;
    for (int i = 0; i < runs; ++i)
        all.push_back(once());
    std::sort(all.begin(), all.end(),
              [](const Figures &a, const Figures &b) { return a.ms < b.ms; });
    Figures result = all[all.size() / 2];
    result.longestGapMs = 0;
    for (const Figures &f : all)
        result.longestGapMs = qMax(result.longestGapMs, f.longestGapMs);
    return result;
}

void print(const char *name, const Figures &f)
{
    std::printf("  %-44s %8.1f ms  %2d requests  %2d of 20 on 64-bit  longest gap %.1f ms\n", name,
                f.ms, f.requests, f.widths64, f.longestGapMs);
    std::fflush(stdout);
}

void runCases(const char *title, const QString &host, int runs)
{
    std::printf("%s\n", title);
    print("32-bit (setting off), every poll", median(runs, [&] {
              Board board(host, false);
              board.poll();
              return board.poll();
          }));
    print("64-bit on, first poll (both ways asked)", median(runs, [&] {
              Board board(host, true);
              return board.poll();
          }));
    print("64-bit on, later poll", median(runs, [&] {
              Board board(host, true);
              board.poll();
              return board.poll();
          }));
}

} // namespace

namespace SnmpBench
{

void runCounters64(int runs)
{
    SnmpAgent snmpd;
    for (int i = 1; i <= Interfaces; ++i) {
        snmpd.setCounters(i, quint32(i) * 1000, quint32(i) * 2000);
        snmpd.setCounters64(i, quint64(i) * 10000000000ULL, quint64(i) * 20000000000ULL);
    }
    if (snmpd.start()) {
        Board(snmpd.host(), true).poll(); // warm-up: library start, the agent's helpers
        runCases("answered by a loopback snmpd with 64-bit counters", snmpd.host(), runs);
    } else {
        std::printf("answering cases skipped: %s\n", qPrintable(snmpd.errorString()));
    }

    HostileAgent silent;
    silent.listen();
    silent.setReply(HostileAgent::Reply::Silent);
    runCases("no agent answering (the 2000 ms deadline)", silent.host(), qMin(runs, 3));
}

} // namespace SnmpBench
