// Saves a picture of the "Discover interfaces" dialog after a walk of a loopback snmpd that
// serves a small switch's interfaces (the README's picture). Run under xvfb-run.
//
// Usage: discovery_screenshot --out FILE [--v3]
//
// With --v3 the walk is made at SNMP v3 authPriv; the profile it saves goes to a temporary
// folder.

#include "DiscoveryDialog.h"
#include "IfMibAgent.h"
#include "SecurityFields.h"
#include "SnmpAgent.h"

#include <QApplication>
#include <QComboBox>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPixmap>
#include <QTemporaryDir>

#include <cstdio>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption out("out", "Picture file.", "file", "discovery-dialog.png");
    parser.addOption(out);
    const QCommandLineOption v3("v3", "Walk with SNMP v3 at authPriv.");
    parser.addOption(v3);
    parser.process(app);

    QList<IfMibAgent::Interface> list;
    const char *aliases[] = {"Uplink to core-1", "Uplink to core-2", "",
                             "Printer room",     "Server rack A",    "",
                             "WLAN controller",  "Backup link"};
    for (int i = 0; i < 8; ++i) {
        IfMibAgent::Interface entry;
        entry.index = quint32(i + 1);
        entry.name = "Gi1/0/" + QByteArray::number(i + 1);
        entry.descr = "GigabitEthernet1/0/" + QByteArray::number(i + 1);
        entry.alias = aliases[i];
        entry.speed = 1000000000;
        entry.highSpeed = 1000;
        entry.operStatus = (i == 2 || i == 5) ? 2 : 1;
        list.append(entry);
    }
    IfMibAgent::Interface tenGig;
    tenGig.index = 49;
    tenGig.name = "Te1/1/1";
    tenGig.descr = "TenGigabitEthernet1/1/1";
    tenGig.alias = "Fibre to building B";
    tenGig.speed = 4294967295u;
    tenGig.highSpeed = 10000;
    list.append(tenGig);
    IfMibAgent::Interface vlan;
    vlan.index = 100;
    vlan.name = "Vl100";
    vlan.descr = "Vlan100";
    vlan.type = 53;
    vlan.speed = 0;
    list.append(vlan);
    IfMibAgent::Interface loop;
    loop.index = 200;
    loop.name = "Lo0";
    loop.descr = "Loopback0";
    loop.type = 24;
    loop.speed = 4294967295u;
    loop.highSpeed = 8000;
    loop.counters64 = false;
    list.append(loop);

    IfMibAgent agent;
    agent.setInterfaces(list);
    agent.setSysName("access-sw3");
    if (!agent.start()) {
        std::printf("agent did not start: %s\n", qPrintable(agent.errorString()));
        return 1;
    }
    DiscoveryDialog dialog([](const QString &) { return QString(); }, [](const QString &) {});
    dialog.addressEdit()->setText(agent.host());
    QTemporaryDir profiles;
    if (parser.isSet(v3)) {
        dialog.setAgentProfiles(profiles.filePath("OSL-agents.ini"), {});
        dialog.versionBox()->setCurrentText("3");
        dialog.securityFields()->user->setText(SnmpAgent::privUser());
        dialog.securityFields()->authPassphrase->setText(SnmpAgent::authPassphrase());
        dialog.securityFields()->privPassphrase->setText(SnmpAgent::privPassphrase());
        dialog.resize(dialog.width(), 640);
    }
    dialog.show();
    dialog.discover();
    QElapsedTimer clock;
    clock.start();
    while (dialog.isDiscovering() && clock.elapsed() < 30000)
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    for (int i = 0; i < 10; ++i)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    const QString file = parser.value(out);
    if (!dialog.grab().save(file)) {
        std::printf("cannot save %s\n", qPrintable(file));
        return 1;
    }
    std::printf("saved %s\n", qPrintable(file));
    return 0;
}
