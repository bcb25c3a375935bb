#include "V3Bench.h"

#include "AgentProfile.h"
#include "GetStep.h"
#include "InterfaceList.h"
#include "InterfaceTable.h"
#include "SnmpAgent.h"
#include "SnmpBench.h"

#include <QEventLoop>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace
{

constexpr int Interfaces = 20;

struct Figures {
    double ms = 0;
    double longestGapMs = 0;
    int requests = 0;
};

struct Board {
    InterfaceTable table;
    InterfaceList list;
    AgentProfiles profiles;
    Poller poller{table, list};

    Board(const QString &host, bool v3)
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
        if (v3) {
            AgentProfile profile;
            profile.address = host;
            profile.security.user = SnmpAgent::privUser();
            profile.security.authPassphrase = SnmpAgent::authPassphrase().toUtf8();
            profile.security.privPassphrase = SnmpAgent::privPassphrase().toUtf8();
            profiles.set(profile);
        }
        poller.setProfiles(&profiles);
        poller.setOnErrorMode(OnErrorMode::Zeroes);
        poller.counters().setEnabled(!v3); // v2c: the 64-bit setting; v3 chooses by itself
    }

    Figures poll()
    {
        Figures figures;
        const SnmpBench::LoopFigures timed = SnmpBench::timeInLoop(
            [this](QEventLoop &loop) {
                QObject::connect(&poller, &Poller::getFinished, &loop, &QEventLoop::quit);
                poller.start();
            },
            5);
        figures.ms = timed.ms;
        figures.longestGapMs = timed.longestGapMs;
        for (int row = 1; row <= Interfaces; ++row)
            figures.requests += table.cell(Col::OrgIn, row).isEmpty() ? 0 : 1;
        return figures;
    }
};

void print(const char *name, std::vector<Figures> all)
{
    std::sort(all.begin(), all.end(),
              [](const Figures &a, const Figures &b) { return a.ms < b.ms; });
    double gap = 0;
    for (const Figures &f : all)
        gap = qMax(gap, f.longestGapMs);
    const Figures &m = all[all.size() / 2];
    std::printf("  %-40s %8.1f ms  %2d of 20 read  longest gap %.1f ms\n", name, m.ms, m.requests,
                gap);
    std::fflush(stdout);
}

} // namespace

namespace SnmpBench
{

void runV3(int runs)
{
    std::printf("SNMP v3 authPriv (SHA, AES) against v2c 64-bit, 20 interfaces of one agent\n");
    std::vector<Figures> v3First, v3Later, v2First, v2Later;
    for (int run = 0; run < runs; ++run) {
        // A fresh agent each run: a new engine ID, so the first poll learns it again.
        SnmpAgent snmpd;
        for (int i = 1; i <= Interfaces; ++i)
            snmpd.setCounters64(i, quint64(i) * 10000000000ULL, quint64(i) * 20000000000ULL);
        if (!snmpd.start()) {
            std::printf("  skipped: %s\n", qPrintable(snmpd.errorString()));
            return;
        }
        Board v2(snmpd.host(), false);
        v2First.push_back(v2.poll());
        v2Later.push_back(v2.poll());
        Board v3(snmpd.host(), true);
        v3First.push_back(v3.poll());
        v3Later.push_back(v3.poll());
    }
    print("v2c 64-bit, first poll", v2First);
    print("v2c 64-bit, later poll", v2Later);
    print("v3 authPriv, first poll", v3First);
    print("v3 authPriv, later poll", v3Later);
}

} // namespace SnmpBench
