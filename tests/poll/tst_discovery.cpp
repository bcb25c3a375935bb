#include "DeviceFile.h"
#include "DeviceFileWriter.h"
#include "DiscoveryModel.h"
#include "ErrorReport.h"
#include "InterfaceDiscovery.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

using OptionalSpeed = std::optional<quint64>;
Q_DECLARE_METATYPE(OptionalSpeed)
Q_DECLARE_METATYPE(DiscoveredInterface)

namespace
{

DiscoveredInterface entry(quint32 index, int oper = 1, int type = 6, quint64 bandwidth = 1000)
{
    DiscoveredInterface e;
    e.index = index;
    e.name = "if" + QString::number(index);
    e.operStatus = oper;
    e.type = type;
    e.bandwidth = bandwidth;
    return e;
}

} // namespace

class TestDiscovery : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void bandwidth_data()
    {
        QTest::addColumn<OptionalSpeed>("ifSpeed");
        QTest::addColumn<OptionalSpeed>("ifHighSpeed");
        QTest::addColumn<quint64>("bandwidth");
        const OptionalSpeed none;
        QTest::newRow("ifSpeed only") << OptionalSpeed(100000000) << none << quint64(100000000);
        QTest::newRow("high speed zero")
            << OptionalSpeed(10000000) << OptionalSpeed(0) << quint64(10000000);
        QTest::newRow("ceiling") << OptionalSpeed(4294967295u) << OptionalSpeed(10000)
                                 << quint64(10000000000);
        QTest::newRow("wrapped ifSpeed")
            << OptionalSpeed(1410065408) << OptionalSpeed(10000) << quint64(10000000000);
        QTest::newRow("equal") << OptionalSpeed(1000000000) << OptionalSpeed(1000)
                               << quint64(1000000000);
        QTest::newRow("T1 rounded up to 2")
            << OptionalSpeed(1544000) << OptionalSpeed(2) << quint64(1544000);
        QTest::newRow("ifSpeed zero")
            << OptionalSpeed(0) << OptionalSpeed(25000) << quint64(25000000000);
        QTest::newRow("ifSpeed missing") << none << OptionalSpeed(100) << quint64(100000000);
        QTest::newRow("unknown") << OptionalSpeed(0) << OptionalSpeed(0) << quint64(0);
        QTest::newRow("nothing") << none << none << quint64(0);
    }

    void bandwidth()
    {
        QFETCH(OptionalSpeed, ifSpeed);
        QFETCH(OptionalSpeed, ifHighSpeed);
        QFETCH(quint64, bandwidth);
        QCOMPARE(Discovery::bandwidth(ifSpeed, ifHighSpeed), bandwidth);
    }

    void displayText_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("utf-8") << QByteArray("Stra\xc3\x9f"
                                             "e 1")
                               << QString::fromUtf8("Straße 1");
        QTest::newRow("latin-1") << QByteArray("Stra\xdf"
                                               "e 1")
                                 << QString::fromUtf8("Straße 1");
        QTest::newRow("trailing NULs") << QByteArray("eth0\0\0", 6) << QString("eth0");
        QTest::newRow("line breaks") << QByteArray("a\r\nb\tc") << QString("a  b c");
        QTest::newRow("leading blanks kept") << QByteArray("  x  ") << QString("  x");
        // A name that would read "eth0-cfg.exe" but list as something else, and its kin.
        QTest::newRow("right-to-left override")
            << QByteArray("eth0\xe2\x80\xaegpj.exe") << QString("eth0gpj.exe");
        QTest::newRow("embeddings and pop") << QByteArray("\xe2\x80\xaa"
                                                          "a\xe2\x80\xab\xe2\x80\xac"
                                                          "b\xe2\x80\xad"
                                                          "c")
                                            << QString("abc");
        QTest::newRow("isolates") << QByteArray(
                                         "\xe2\x81\xa6x\xe2\x81\xa7y\xe2\x81\xa8z\xe2\x81\xa9")
                                  << QString("xyz");
        QTest::newRow("zero-width and marks") << QByteArray("g\xe2\x80\x8b"
                                                            "e\xe2\x80\x8c"
                                                            "0\xe2\x80\x8d/\xe2\x80\x8e"
                                                            "1\xe2\x80\x8f")
                                              << QString("ge0/1");
        QTest::newRow("tag characters beyond the BMP")
            << QByteArray("up\xf3\xa0\x80\x81link") << QString("uplink");
        QTest::newRow("visible neighbours kept")
            << QByteArray("\xe2\x80\x90\xe2\x80\xaf\xe2\x81\xb0\xf0\x9f\x98\x80")
            << QString::fromUtf8("\u2010\u202f\u2070\U0001F600");
    }

    void displayText()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QCOMPARE(Discovery::displayText(bytes), text);
    }

    void deviceLineAndCommunity()
    {
        DiscoveredInterface e = entry(7);
        e.bandwidth = 40000000000;
        QCOMPARE(Discovery::deviceLine("[2001:db8::1]:1161", e, "c0mm"),
                 QString("[2001:db8::1]:1161;7;40000000000;c0mm;if7"));
        e.alias = "to core";
        QCOMPARE(Discovery::description(e), QString("if7 - to core"));
        QVERIFY(Discovery::communityProblem("pub;lic").contains("semicolon"));
        QVERIFY(Discovery::communityProblem("pub\nlic").contains("line break"));
        QVERIFY(Discovery::communityProblem("").isEmpty());
        QCOMPARE(Discovery::proposedFileName("core-sw1.example", "10.0.0.1"),
                 QString("core-sw1.example.dev"));
        QCOMPARE(Discovery::proposedFileName("", "[::1]:1161"), QString("___1__1161.dev"));
        QCOMPARE(Discovery::proposedFileName("../../etc/x", "a"), QString("_.._etc_x.dev"));
    }

    // Pre-checked: up, not loopback or virtual, by index order, at most 20. The 21st check is
    // refused and reported; unchecking makes room again.
    void modelChecks()
    {
        QList<DiscoveredInterface> list;
        list << entry(1, 1, 24) << entry(2, 2) << entry(3, 1, 53);
        for (quint32 i = 4; i < 30; ++i)
            list << entry(i);
        DiscoveryModel model;
        QSignalSpy limit(&model, &DiscoveryModel::limitReached);
        model.setInterfaces(list);
        QCOMPARE(model.checkedCount(), 20);
        QVERIFY(!model.isChecked(0) && !model.isChecked(1) && !model.isChecked(2));
        QVERIFY(model.isChecked(3) && model.isChecked(22) && !model.isChecked(23));
        QCOMPARE(model.checkedInterfaces().first().index, quint32(4));
        QCOMPARE(model.checkedInterfaces().last().index, quint32(23));

        const QModelIndex extra = model.index(25, DiscoveryModel::IndexColumn);
        QVERIFY(!model.setData(extra, Qt::Checked, Qt::CheckStateRole));
        QCOMPARE(limit.count(), 1);
        QVERIFY(!model.isChecked(25));
        QVERIFY(model.setData(model.index(3, 0), Qt::Unchecked, Qt::CheckStateRole));
        QVERIFY(model.setData(extra, Qt::Checked, Qt::CheckStateRole));
        QCOMPARE(model.checkedCount(), 20);
        QCOMPARE(model.checkedInterfaces().last().index, quint32(26));
    }

    // Null and loopback interfaces are never pre-checked, even when up; the check order puts
    // the pre-checked ones first, each group by index, whatever order they came in.
    void checkOrder()
    {
        DiscoveredInterface null0 = entry(2, 1, 1);
        null0.name = "Null0";
        DiscoveredInterface nullDescr = entry(7, 1, 1);
        nullDescr.name.clear();
        nullDescr.descr = "NULL0";
        DiscoveredInterface otherTyped = entry(6, 1, 1); // other, but no null interface
        QVERIFY(!Discovery::isPreChecked(null0));
        QVERIFY(!Discovery::isPreChecked(nullDescr));
        QVERIFY(!Discovery::isPreChecked(entry(1, 1, 24)));
        QVERIFY(Discovery::isPreChecked(otherTyped));
        const QList<DiscoveredInterface> found = {entry(5),   entry(1, 1, 24), null0,   entry(3, 2),
                                                  otherTyped, nullDescr,       entry(4)};
        QList<quint32> order;
        for (const DiscoveredInterface &e : Discovery::inCheckOrder(found))
            order << e.index;
        QCOMPARE(order, (QList<quint32>{4, 5, 6, 1, 2, 3, 7}));
    }

    // The window checks the fastest up ports first, then by index: a 53-port switch's two
    // 10G uplinks (49, 50) are among its 20, with access ports 1 to 18; the device-file order
    // (and --discover's) lists those 20 by index, then the rest.
    void fastestFirst_data()
    {
        QTest::addColumn<QList<DiscoveredInterface>>("found");
        QTest::addColumn<QList<quint32>>("checked"); // by index, as listed and saved
        QTest::addColumn<QList<quint32>>("orderHead");

        QList<DiscoveredInterface> sw;
        for (quint32 i = 1; i <= 48; ++i)
            sw << entry(i, 1, 6, 1000000000);
        sw << entry(49, 1, 6, 10000000000) << entry(50, 1, 6, 10000000000)
           << entry(51, 1, 24, 10000000000) // loopback, fast: never checked
           << entry(52, 2, 6, 10000000000)  // down uplink
           << entry(53, 1, 6, 0);           // speed unknown: after the known ones
        QList<quint32> swChecked;
        for (quint32 i = 1; i <= 18; ++i)
            swChecked << i;
        swChecked << 49 << 50;
        QTest::newRow("53-port switch") << sw << swChecked << (swChecked + QList<quint32>{19, 20});

        QList<DiscoveredInterface> few = {entry(1, 1, 6, 10), entry(2, 1, 6, 0),
                                          entry(3, 2, 6, 1000), entry(4, 1, 6, 100)};
        QTest::newRow("fewer than 20: every qualifying port, by index")
            << few << QList<quint32>{1, 2, 4} << QList<quint32>{1, 2, 4, 3};
    }
    void fastestFirst()
    {
        QFETCH(QList<DiscoveredInterface>, found);
        QFETCH(QList<quint32>, checked);
        QFETCH(QList<quint32>, orderHead);
        DiscoveryModel model;
        model.setInterfaces(found);
        QList<quint32> got;
        for (const DiscoveredInterface &e : model.checkedInterfaces())
            got << e.index;
        QCOMPARE(got, checked);
        QList<quint32> order;
        for (const DiscoveredInterface &e : Discovery::inCheckOrder(found))
            order << e.index;
        QCOMPARE(order.mid(0, orderHead.size()), orderHead);
        QCOMPARE(order.mid(0, checked.size()), checked);
    }

    // Speeds with prefixes in the list; the exact figure in the tooltip and for editing.
    void modelSpeeds()
    {
        QLocale::setDefault(QLocale::c());
        DiscoveryModel model;
        model.setInterfaces(
            {entry(1, 1, 6, 1000000000), entry(2, 1, 6, 100000000), entry(3, 1, 6, 2500000000)});
        const auto speed = [&](int row, int role) {
            return model.data(model.index(row, DiscoveryModel::SpeedColumn), role).toString();
        };
        QCOMPARE(speed(0, Qt::DisplayRole), QString("1 Gbit/s"));
        QCOMPARE(speed(1, Qt::DisplayRole), QString("100 Mbit/s"));
        QCOMPARE(speed(2, Qt::DisplayRole), QString("2.5 Gbit/s"));
        QCOMPARE(speed(2, Qt::ToolTipRole), QString("2500000000 bit/s"));
        QCOMPARE(speed(2, Qt::EditRole), QString("2500000000"));
    }

    void modelBandwidthEdit()
    {
        DiscoveryModel model;
        model.setInterfaces({entry(1, 1, 6, 0)});
        QVERIFY(model.checkedHaveUnknownBandwidth());
        const QModelIndex speed = model.index(0, DiscoveryModel::SpeedColumn);
        QCOMPARE(model.data(speed).toString(), QString("unknown"));
        QVERIFY(model.flags(speed) & Qt::ItemIsEditable);
        QVERIFY(!model.setData(speed, "fast"));
        QVERIFY(model.setData(speed, " 2048000 "));
        QCOMPARE(model.checkedInterfaces().first().bandwidth, quint64(2048000));
        QVERIFY(!model.checkedHaveUnknownBandwidth());
    }

    // Written beside the name and renamed into place: a link at the name is replaced, not
    // followed; a new file is private, an existing one keeps its mode.
    void writer()
    {
        QTemporaryDir dir;
        const QString victim = dir.filePath("victim");
        QFile v(victim);
        QVERIFY(v.open(QIODevice::WriteOnly));
        v.write("keep\n");
        v.close();
        const QString path = dir.filePath("a.dev");
        QVERIFY(QFile::link(victim, path));
        DeviceFileWriter::write(path,
                                {"1.2.3.4;1;100;public;x", QString::fromUtf8("h;2;5;c;Zürich")});
        QCOMPARE(DeviceFile::readLines(path),
                 QStringList({"1.2.3.4;1;100;public;x", QString::fromUtf8("h;2;5;c;Zürich")}));
        QVERIFY(!QFileInfo(path).isSymLink());
        QFile check(victim);
        QVERIFY(check.open(QIODevice::ReadOnly));
        QCOMPARE(check.readAll(), QByteArray("keep\n"));
        const QFile::Permissions others = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup |
                                          QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
        QCOMPARE(QFileInfo(path).permissions() & others, QFile::Permissions());
        QVERIFY(QFileInfo(path).permissions() & QFile::WriteOwner);

        QVERIFY(QFile::setPermissions(path, QFileInfo(path).permissions() | QFile::ReadGroup));
        DeviceFileWriter::write(path, {"x"});
        QVERIFY(QFileInfo(path).permissions() & QFile::ReadGroup);

        bool thrown = false;
        try {
            DeviceFileWriter::write(dir.filePath("missing/folder.dev"), {"x"});
        } catch (const OstralineError &error) {
            thrown = error.message().contains("missing/folder.dev") &&
                     error.message().contains("No such file");
        }
        QVERIFY(thrown);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 2); // no temporary left
    }

    // A name that is not a regular file (a pipe, a device node, a link to either) is refused
    // before anything is written and stays exactly what it was: as root, a rename onto a
    // device node would have replaced it. Device nodes are made in the test's own folder.
    void writerRefusesNonRegular_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("link");
        QTest::newRow("pipe") << "fifo" << false;
        QTest::newRow("character device") << "chr" << false;
        QTest::newRow("link to a pipe") << "fifo" << true;
        QTest::newRow("link to a character device") << "chr" << true;
    }
    void writerRefusesNonRegular()
    {
        QFETCH(QString, kind);
        QFETCH(bool, link);
        QTemporaryDir dir;
        const QString node = dir.filePath("node");
        const QByteArray nodeName = QFile::encodeName(node);
        if (kind == "fifo") {
            QCOMPARE(::mkfifo(nodeName.constData(), 0600), 0);
        } else {
            if (::geteuid() != 0)
                QSKIP("making a device node needs root");
            QCOMPARE(::mknod(nodeName.constData(), S_IFCHR | 0600, ::makedev(1, 3)), 0);
        }
        const QString path = link ? dir.filePath("a.dev") : node;
        if (link)
            QVERIFY(QFile::link(node, path));
        struct stat before {
        };
        QCOMPARE(::lstat(nodeName.constData(), &before), 0);

        QString message;
        try {
            DeviceFileWriter::write(path, {"1.2.3.4;1;100;public;x"});
        } catch (const OstralineError &error) {
            message = error.message();
        }
        QCOMPARE(message,
                 "The device file \"" + path + "\" is not a regular file; nothing written.");
        struct stat after {
        };
        QCOMPARE(::lstat(nodeName.constData(), &after), 0);
        QCOMPARE(after.st_mode, before.st_mode);
        QCOMPARE(after.st_rdev, before.st_rdev);
        QCOMPARE(after.st_ino, before.st_ino);
        QCOMPARE(QFileInfo(path).isSymLink(), link);
        QCOMPARE(QDir(dir.path())
                     .entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)
                     .size(),
                 link ? 2 : 1); // no temporary left
    }
};

QTEST_GUILESS_MAIN(TestDiscovery)
#include "tst_discovery.moc"
