#include "DailyLogFile.h"
#include "LogRetention.h"
#include "UtilisationLog.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

using namespace Qt::StringLiterals;

// "Keep daily logs for N days": which names count as logs, and what a sweep may remove.
class TestLogRetention : public QObject
{
    Q_OBJECT

private:
    static void touch(const QString &path)
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("x\r\n");
    }

private Q_SLOTS:
    void dateOf_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QDate>("date"); // invalid: not a log
        QTest::newRow("utilisation")
            << u"20261210_core.dev_utilisation.csv"_s << QDate(2026, 12, 10);
        QTest::newRow("analysis") << u"20261209_core_analysis.csv"_s << QDate(2026, 12, 9);
        QTest::newRow("health") << u"20240229_a b_health.csv"_s << QDate(2024, 2, 29);
        QTest::newRow("no such day") << u"20230229_core_health.csv"_s << QDate();
        QTest::newRow("seven digits") << u"2026121_core_health.csv"_s << QDate();
        QTest::newRow("no separator") << u"20261210core_health.csv"_s << QDate();
        QTest::newRow("other suffix") << u"20261210_core_health.csv.bak"_s << QDate();
        QTest::newRow("other file") << u"notes.csv"_s << QDate();
        QTest::newRow("signs") << u"+2026121_core_health.csv"_s << QDate();
    }
    void dateOf()
    {
        QFETCH(QString, name);
        QFETCH(QDate, date);
        const std::optional<QDate> found = LogRetention::dateOf(name);
        QCOMPARE(found.value_or(QDate()), date);
    }

    // Old logs go; today's and those of the kept days, other files, links, folders and
    // files of another user stay, and a link's target is never touched.
    void sweepRemovesOnlyOwnOldLogs()
    {
        QTemporaryDir dir, outside;
        const QDir d(dir.path());
        const QDate today(2026, 12, 10);
        const QStringList removed{u"20261203_core_utilisation.csv"_s,
                                  u"20261130_core_analysis.csv"_s, u"20250101_x_health.csv"_s};
        const QStringList kept{u"20261204_core_utilisation.csv"_s, u"20261210_core_health.csv"_s,
                               u"20200101_core.txt"_s, u"notes.csv"_s,
                               u"20201301_core_health.csv"_s};
        for (const QString &name : removed + kept)
            touch(d.filePath(name));
        const QString target = QDir(outside.path()).filePath(u"precious"_s);
        touch(target);
        QVERIFY(QFile::link(target, d.filePath(u"20200101_link_utilisation.csv"_s)));
        QVERIFY(d.mkdir(u"20200101_folder_analysis.csv"_s));
        const QString foreign = d.filePath(u"20200101_foreign_health.csv"_s);
        touch(foreign);
        const bool root = ::geteuid() == 0;
        if (root) // another user's file: only the superuser can make one
            QCOMPARE(::chown(QFile::encodeName(foreign).constData(), 65534, 65534), 0);

        QCOMPARE(LogRetention::sweep(dir.path(), today, 7), root ? 3 : 4);
        for (const QString &name : removed)
            QVERIFY2(!QFileInfo::exists(d.filePath(name)), qPrintable(name));
        for (const QString &name : kept)
            QVERIFY2(QFileInfo::exists(d.filePath(name)), qPrintable(name));
        QVERIFY(QFileInfo(d.filePath(u"20200101_link_utilisation.csv"_s)).isSymLink());
        QVERIFY(QFileInfo::exists(target));
        QVERIFY(QFileInfo(d.filePath(u"20200101_folder_analysis.csv"_s)).isDir());
        QCOMPARE(QFileInfo::exists(foreign), root);

        // Keeping one day keeps today's log only; nothing to keep is no sweep at all.
        QCOMPARE(LogRetention::sweep(dir.path(), today, 1), 1);
        QVERIFY(QFileInfo::exists(d.filePath(u"20261210_core_health.csv"_s)));
        QCOMPARE(LogRetention::sweep(dir.path(), today, 0), 0);
    }

    // The first write of a day sweeps when a number of days is set; later writes and an
    // environment without one leave old logs alone.
    void firstWriteOfTheDaySweeps()
    {
        QTemporaryDir dir;
        const QDir d(dir.path());
        const QString old = d.filePath(u"20261101_core_utilisation.csv"_s);
        touch(old);
        LogEnvironment environment;
        environment.programFolder = dir.path();
        QDateTime now(QDate(2026, 12, 10), QTime(8, 0));
        environment.clock = [&] { return now; };
        const auto line = [](const QString &stamp) { return DailyLogFile::encode(stamp); };
        const QString suffix = QLatin1StringView(UtilisationLog::Suffix);

        QCOMPARE(DailyLogFile::write(environment, u"/x/core"_s, suffix, line, line),
                 DailyLogFile::Outcome::Created);
        QVERIFY(QFileInfo::exists(old)); // no number of days: everything is kept

        LogRetention::setKeepDays(30);
        touch(d.filePath(u"20261102_core_utilisation.csv"_s));
        QCOMPARE(DailyLogFile::write(environment, u"/x/core"_s, suffix, line, line),
                 DailyLogFile::Outcome::Appended);
        QVERIFY(QFileInfo::exists(old));

        now = now.addDays(1);
        QCOMPARE(DailyLogFile::write(environment, u"/x/core"_s, suffix, line, line),
                 DailyLogFile::Outcome::Created);
        QVERIFY(!QFileInfo::exists(old));
        QVERIFY(!QFileInfo::exists(d.filePath(u"20261102_core_utilisation.csv"_s)));
        QVERIFY(QFileInfo::exists(d.filePath(u"20261210_core_utilisation.csv"_s)));
        LogRetention::setKeepDays(std::nullopt);
        QCOMPARE(LogRetention::keepDays(), std::nullopt);
    }
};

QTEST_MAIN(TestLogRetention)
#include "tst_logretention.moc"
