#include "ErrorReport.h"
#include "HistoryFixture.h"
#include "HistoryStore.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>
#include <cstring>
#include <sys/mount.h>

using namespace HistoryFixture;
using namespace Qt::StringLiterals;

// The history on a disk without room: the system's reason is named, and the disk is
// reported once, not once per file. Runs with the librrd stand-in preloaded (RrdShim.cpp),
// which plays the full disk where no small file system can be mounted.
class TestHistoryDisk : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void fullDiskNamedOnce_data();
    void fullDiskNamedOnce();
};

void TestHistoryDisk::fullDiskNamedOnce_data()
{
    QTest::addColumn<bool>("mounted");
    QTest::newRow("a real full file system") << true;
    QTest::newRow("the stand-in's full disk") << false;
}

void TestHistoryDisk::fullDiskNamedOnce()
{
    QFETCH(bool, mounted);
    QTemporaryDir dir;
    const QString folder = dir.path() + u"/history"_s;
    QVERIFY(QDir().mkpath(folder));
    const QByteArray name = QFile::encodeName(folder);
    if (mounted) {
        // A file system with room for a little more than one history file's header.
        if (::mount("tmpfs", name.constData(), "tmpfs", 0, "size=64k,mode=0700") != 0)
            QSKIP(qPrintable(u"Cannot mount a small file system here: "_s +
                             QString::fromLocal8Bit(std::strerror(errno))));
    } else {
        qputenv("OSTRALINE_TEST_RRD_FULL", name);
    }
    const auto end = qScopeGuard([&] {
        if (mounted)
            ::umount2(name.constData(), MNT_DETACH);
        qunsetenv("OSTRALINE_TEST_RRD_FULL");
    });

    QStringList reports;
    const auto previous = ErrorReport::setHandler([&](const QString &m) { reports.append(m); });
    QStringList failures;
    {
        HistoryStore store(folder);
        connect(&store, &HistoryStore::written, this,
                [&](const PollResult &, const QStringList &f) { failures += f; });
        QList<InterfaceReading> interfaces;
        for (int i = 1; i <= 19; ++i) {
            InterfaceReading r = reading(1000, 500);
            r.ifIndex = QString::number(i);
            interfaces.append(r);
        }
        store.onPollFinished(poll(T0, 6, interfaces));
        store.onPollFinished(poll(T0 + 6, 6, interfaces));
        store.flush();
    }
    ErrorReport::setHandler(previous);

    const QString expected =
        u"Cannot create 19 history files in \"%1\": No space left on device"_s.arg(folder);
    QCOMPARE(failures, QStringList({expected, expected})); // one line per poll, not per file
    QCOMPARE(reports, QStringList({expected}));            // and one box
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList());
}

QTEST_GUILESS_MAIN(TestHistoryDisk)
#include "tst_historydisk.moc"
