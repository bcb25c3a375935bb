#include "MainWindowFixture.h"

#include "GraphBoard.h"
#include "Histograph.h"
#include "IfMib.h"
#include "SnmpAgent.h"
#include "TransLabel.h"

#include <QCheckBox>
#include <QDir>

#include <QSignalSpy>
#include <QTest>

// Link health against a real net-snmp agent on loopback, polled from the main window.
class TestPollingHealth : public QObject
{
    Q_OBJECT

    std::unique_ptr<SnmpAgent> m_agent;

    void load(MainWindowFixture &f, const QStringList &deviceLines)
    {
        const QString path = f.writeFile("health.dev", deviceLines.join("\n").toUtf8());
        f.form->setDeviceFileChooser([path] { return path; });
        f.form->Button8Click();
    }
    QString line(int ifIndex) const
    {
        return QStringLiteral("%1;%2;100000000;%3;if%2")
            .arg(m_agent->host())
            .arg(ifIndex)
            .arg(SnmpAgent::community());
    }
    static void poll(TForm1 &w)
    {
        QSignalSpy done(&w.poller(), &Poller::getFinished);
        if (w.pollCycle().isPolling())
            w.Timer1Timer();
        else
            w.Button3Click();
        QVERIFY(done.wait(5000));
    }

private Q_SLOTS:
    void initTestCase()
    {
        QLocale::setDefault(QLocale::c());
        if (!SnmpAgent::isAvailable())
            QSKIP("snmpd is not installed (the README set-up installs it)");
        m_agent = std::make_unique<SnmpAgent>();
        m_agent->setLogPackets(true);
        QVERIFY2(m_agent->start(), qPrintable(m_agent->errorString()));
    }

    // The six objects, written out: a wrong column would read another object's value.
    void objectIdentifiers()
    {
        QCOMPARE(IfMib::linkHealth(QStringLiteral("12")),
                 QStringList({"1.3.6.1.2.1.2.2.1.7.12", "1.3.6.1.2.1.2.2.1.8.12",
                              "1.3.6.1.2.1.2.2.1.13.12", "1.3.6.1.2.1.2.2.1.14.12",
                              "1.3.6.1.2.1.2.2.1.19.12", "1.3.6.1.2.1.2.2.1.20.12"}));
    }

    // With "link health" off, each poll sends exactly the two v1 GetRequests per interface,
    // each with its one counter binding, even from an agent that has every health object.
    void settingOffSendsOnlyTheCounterRequests()
    {
        MainWindowFixture f;
        TForm1 &w = f.create();
        QVERIFY(!w.linkHealth());
        w.CheckBoxUtilLog->setChecked(true);
        for (int index : {1, 2}) {
            m_agent->setCounters(index, 1000, 2000);
            SnmpAgent::LinkHealth health;
            health.oper = 2;
            health.inErrors = 3;
            m_agent->setLinkHealth(index, health);
        }
        load(f, {line(1), line(2)});
        const qsizetype before = m_agent->receivedBindings().size();
        poll(w);
        poll(w);
        w.Button4Click();

        const auto requests = m_agent->receivedBindings().mid(before);
        QList<std::pair<int, QStringList>> expected;
        for (int n = 0; n < 2; ++n) {
            for (int index : {1, 2}) {
                expected.append({0, {SnmpAgent::inOctetsOid(index)}});
                expected.append({0, {SnmpAgent::outOctetsOid(index)}});
            }
        }
        // The batch sends side by side: compare without regard to the order of arrival.
        auto sorted = [](QList<std::pair<int, QStringList>> list) {
            std::sort(list.begin(), list.end());
            return list;
        };
        QCOMPARE(sorted(requests), sorted(expected));
        QCOMPARE(w.board().slot(1).Graph->BackgroundColor(), GraphBoard::RunningColor);
        QVERIFY(w.board().slot(1).HealthCaption->isHidden());
        QCOMPARE(QDir(f.folder()).entryList({"*.csv"}).size(), 1); // the utilisation log only
        QVERIFY(f.errors.isEmpty());
    }
};

QTEST_MAIN(TestPollingHealth)
#include "tst_pollinghealth.moc"
