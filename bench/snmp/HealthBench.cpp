#include "HealthBench.h"

#include "GetStep.h"
#include "HostileAgent.h"
#include "InterfaceList.h"
#include "InterfaceTable.h"
#include "SnmpAgent.h"
#include "SnmpBench.h"

#include <QEventLoop>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace
{

constexpr int Interfaces = 20;

struct Figures {
    double ms = 0;
    double longestGapMs = 0;
    int requests = 0;
};

Figures pollOnce(const QString &host, bool linkHealth, bool v2c)
{
    InterfaceTable table;
    InterfaceList list;
    Poller poller{table, list};
    table.writeHeaderAndInitialValues();
    for (int row = 1; row <= Interfaces; ++row) {
        table.setCell(Col::Number, row, QString::number(row));
        table.setCell(Col::IP, row, host);
        table.setCell(Col::Interface, row, QString::number(row));
        table.setCell(Col::Community, row, SnmpAgent::community());
        table.setCell(Col::Bandwidth, row, QStringLiteral("100000000"));
        list.append(QString::number(row));
    }
    poller.setOnErrorMode(OnErrorMode::Zeroes);
    poller.setLinkHealth(linkHealth);
    if (v2c) {
        // The steady state of 64-bit rows: decided, one v2c request each.
        poller.counters().setEnabled(true);
        for (int row = 1; row <= Interfaces; ++row)
            poller.counters().decide(row, true);
    }
    QList<GetStep::PlannedRequest> plan;
    Figures figures;
    figures.requests =
        int(GetStep::planRequests(table, list, poller.counters(), &plan, nullptr, linkHealth)
                .size()) +
        (linkHealth && !v2c ? Interfaces : 0);
    const SnmpBench::LoopFigures timed = SnmpBench::timeInLoop(
        [&poller](QEventLoop &loop) {
            QObject::connect(&poller, &Poller::getFinished, &loop, &QEventLoop::quit);
            poller.start();
        },
        10);
    figures.ms = timed.ms;
    figures.longestGapMs = timed.longestGapMs;
    return figures;
}

Figures median(int runs, const QString &host, bool linkHealth, bool v2c)
{
    std::vector<Figures> all;
    for (int i = 0; i < runs; ++i)
        all.push_back(pollOnce(host, linkHealth, v2c));
    std::sort(all.begin(), all.end(),
              [](const Figures &a, const Figures &b) { return a.ms < b.ms; });
    Figures result = all[all.size() / 2];
    for (const Figures &f : all)
        result.longestGapMs = qMax(result.longestGapMs, f.longestGapMs);
    return result;
}

void runCases(const char *title, const QString &host, int runs)
{
    std::printf("%s\n", title);
    for (const bool v2c : {false, true}) {
        for (const bool on : {false, true}) {
            const Figures f = median(runs, host, on, v2c);
            std::printf("  %-28s %8.1f ms  %2d requests  longest gap %.1f ms\n",
                        v2c ? (on ? "v2c, link health on" : "v2c, link health off")
                            : (on ? "v1, link health on" : "v1, link health off"),
                        f.ms, f.requests, f.longestGapMs);
            std::fflush(stdout);
        }
    }
}

} // namespace

namespace SnmpBench
{

void runLinkHealth(int runs)
{
    SnmpAgent snmpd;
    for (int i = 1; i <= Interfaces; ++i) {
        snmpd.setCounters(i, quint32(i) * 1000, quint32(i) * 2000);
        snmpd.setCounters64(i, quint64(i) * 1000, quint64(i) * 2000);
        snmpd.setLinkHealth(i, {});
    }
    if (snmpd.start()) {
        pollOnce(snmpd.host(), true, false); // warm-up: library start, the agent's helpers
        runCases("answered by a loopback snmpd with every link-health object", snmpd.host(), runs);
    } else {
        std::printf("answering cases skipped: %s\n", qPrintable(snmpd.errorString()));
    }

    HostileAgent silent;
    silent.listen();
    silent.setReply(HostileAgent::Reply::Silent);
    runCases("no agent answering (the 2000 ms deadline)", silent.host(), qMin(runs, 3));
}

} // namespace SnmpBench
