#include "MainWindowFixture.h"

#include "ErrorBox.h"
#include "GraphBoard.h"
#include "Histograph.h"
#include "HistoryFeature.h"
#include "HistoryFileName.h"
#include "HistoryReader.h"
#include "HistoryStore.h"
#include "PollRun.h"
#include "SnmpAgent.h"
#include "WindowPolling.h"

#include <QDir>
#include <QMessageBox>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

#include <cmath>

using namespace Qt::StringLiterals;

// The history against a real net-snmp agent on loopback, polled by the main window's poll run.
class TestHistoryPolling : public QObject
{
    Q_OBJECT

    std::unique_ptr<SnmpAgent> m_agent;

    void load(MainWindowFixture &f, int interfaces)
    {
        QStringList lines;
        for (int i = 1; i <= interfaces; ++i)
            lines << QStringLiteral("%1;%2;100000000;%3;if%2")
                         .arg(m_agent->host())
                         .arg(i)
                         .arg(SnmpAgent::community());
        const QString path = f.writeFile(u"history.dev"_s, lines.join(u'\n').toUtf8());
        f.form->setDeviceFileChooser([path] { return path; });
        f.form->Button8Click();
    }
    static QString fileOf(const QString &folder, const QString &address, int ifIndex)
    {
        return QDir(folder).filePath(
            HistoryFileName::forInterface(address, QString::number(ifIndex)));
    }

private Q_SLOTS:
    void initTestCase()
    {
        QLocale::setDefault(QLocale::c());
        if (!SnmpAgent::isAvailable())
            QSKIP("snmpd is not installed (the README set-up installs it)");
        m_agent = std::make_unique<SnmpAgent>();
        QVERIFY2(m_agent->start(), qPrintable(m_agent->errorString()));
    }

    // 20 polls of two interfaces with known rates, written at poll resolution; a stall in the
    // middle is unknown. The test's polls follow each other at once, so the store is fed the
    // poll run's own results under a clock of its own: one poll every 6 s, and 30 s missing
    // after the tenth.
    void ratesAtPollResolution()
    {
        MainWindowFixture f;
        TForm1 &w = f.create();
        QCOMPARE(w.pollCycle().pollInterval(), 6);
        const QString folder = f.folder() + u"/clocked"_s;
        HistoryStore store(folder);
        constexpr std::int64_t T0 = 1800000000;
        std::int64_t clock = T0;
        connect(&w.pollRun(), &PollRun::pollFinished, &store, [&](const PollResult &real) {
            PollResult result = real;
            result.time = QDateTime::fromSecsSinceEpoch(clock);
            store.onPollFinished(result);
        });
        quint32 in1 = 5000, out1 = 7000, in2 = 0, out2 = 0;
        m_agent->setCounters(1, in1, out1);
        m_agent->setCounters(2, in2, out2);
        load(f, 2);
        poll(w); // first reading
        for (int k = 1; k <= 20; ++k) {
            clock += k == 11 ? 36 : 6;
            in1 += quint32(6 * 1000 * k);
            out1 += quint32(6 * 300 * k);
            in2 += 6 * 50;
            m_agent->setCounters(1, in1, out1);
            m_agent->setCounters(2, in2, out2);
            poll(w);
        }
        w.Button4Click();
        store.flush();
        QVERIFY2(f.errors.isEmpty(), qPrintable(f.errors.join(u'\n')));

        QString error;
        const HistorySeries s =
            HistoryReader::fetch(fileOf(folder, m_agent->host(), 1), T0, clock, &error);
        QVERIFY2(!s.isEmpty(), qPrintable(error));
        QCOMPARE(s.step, 6);
        const auto at = [&](const QList<double> &values, std::int64_t t) {
            return values[(t - s.start) / s.step - 1];
        };
        for (int k = 1; k <= 10; ++k) {
            QCOMPARE(at(s.inAverage, T0 + 6 * k), 8.0 * 1000 * k);
            QCOMPARE(at(s.outAverage, T0 + 6 * k), 8.0 * 300 * k);
        }
        for (std::int64_t t = T0 + 66; t <= T0 + 96; t += 6)
            QVERIFY2(std::isnan(at(s.inAverage, t)), qPrintable(QString::number(t - T0)));
        QCOMPARE(at(s.inAverage, T0 + 102), 8.0 * 1000 * 12);
        QCOMPARE(at(s.bandwidth, T0 + 60), 100000000.0);
        const HistorySeries second =
            HistoryReader::fetch(fileOf(folder, m_agent->host(), 2), T0, clock, &error);
        QCOMPARE(at(second.inAverage, T0 + 60), 8.0 * 50);
        QCOMPARE(at(second.outAverage, T0 + 60), 0.0); // a real 0, not unknown

        // One row through the rrdtool command.
        QProcess rrdtool;
        rrdtool.start(u"rrdtool"_s, {u"fetch"_s, fileOf(folder, m_agent->host(), 1), u"AVERAGE"_s,
                                     u"-r"_s, u"6"_s, u"-s"_s, QString::number(T0 + 24), u"-e"_s,
                                     QString::number(T0 + 30)});
        QVERIFY(rrdtool.waitForFinished(10000));
        const QString out = QString::fromUtf8(rrdtool.readAllStandardOutput());
        QVERIFY2(out.contains(QString::number(T0 + 30) + u": 5.0000000000e+03 1.5000000000e+03"_s),
                 qPrintable(out));
    }

    // The program's own wiring: its store writes every poll at the poll's clock time, and a
    // program started again appends to the same file.
    void restartAppends()
    {
        QTemporaryDir dir;
        std::int64_t first = 0;
        for (int run = 0; run < 2; ++run) {
            MainWindowFixture f;
            TForm1 &w = f.create();
            auto *history = new HistoryFeature(w, dir.path());
            m_agent->setCounters(1, 1000, 1000);
            load(f, 1);
            poll(w);
            QTest::qWait(1100); // the files take one update per second
            m_agent->setCounters(1, 61000, 31000);
            poll(w);
            w.Button4Click();
            history->store().flush();
            QVERIFY2(f.errors.isEmpty(), qPrintable(f.errors.join(u'\n')));
            const std::int64_t last =
                HistoryReader::lastUpdate(fileOf(dir.path(), m_agent->host(), 1));
            QVERIFY(std::llabs(last - QDateTime::currentSecsSinceEpoch()) <= 2);
            if (run == 0)
                first = last;
            else
                QVERIFY(last > first);
            QTest::qWait(1100);
        }
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 1);
    }

    // A history folder that cannot be made: one error box, the graphs go on.
    void unwritableFolderReportedOnce()
    {
        MainWindowFixture f;
        ErrorReport::setHandler([&f](const QString &message) {
            f.errors << message;
            ErrorBox::show(message);
        });
        TForm1 &w = f.create();
        f.writeFile(u"blocked"_s, "a file where a folder should be");
        auto *history = new HistoryFeature(w, f.folder() + u"/blocked/history"_s);
        quint32 in = 0;
        m_agent->setCounters(1, in, 0);
        load(f, 1);
        int previous = -1;
        for (int round = 1; round <= 6; ++round) {
            in += quint32(6 * 250000 * round); // rising utilisation
            m_agent->setCounters(1, in, 0);
            poll(w);
            history->store().flush();
            QCOMPARE(f.errors.size(), 1);
            QVERIFY2(f.errors.first().contains(u"history folder"_s), qPrintable(f.errors.first()));
            const int value = w.board().slot(1).Graph->Value();
            if (round > 2)
                QVERIFY2(value > previous, qPrintable(QString::number(value)));
            previous = value;
        }
        w.Button4Click();
        ErrorBox::current()->close();
    }
};

QTEST_MAIN(TestHistoryPolling)
#include "tst_historypolling.moc"
