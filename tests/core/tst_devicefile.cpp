#include "DeviceFile.h"
#include "ErrorReport.h"
#include "InterfaceList.h"
#include "InterfaceTable.h"
#include "TextEncoding.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

class TestDeviceFile : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString write(const QString &name, const QByteArray &bytes)
    {
        const QString path = m_dir.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            qFatal("cannot write fixture");
        file.write(bytes);
        return path;
    }

private Q_SLOTS:
    void splitLines_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("empty file") << QByteArray() << QStringList();
        QTest::newRow("one line no break") << QByteArray("a") << QStringList{"a"};
        QTest::newRow("trailing LF adds nothing") << QByteArray("a\nb\n") << QStringList{"a", "b"};
        QTest::newRow("CR LF") << QByteArray("a\r\nb\r\n") << QStringList{"a", "b"};
        QTest::newRow("CR only") << QByteArray("a\rb") << QStringList{"a", "b"};
        QTest::newRow("blank line in middle") << QByteArray("a\n\nb") << QStringList{"a", "", "b"};
        QTest::newRow("only a break") << QByteArray("\n") << QStringList{""};
        QTest::newRow("CR CR LF") << QByteArray("a\r\r\nb") << QStringList{"a", "", "b"};
        QTest::newRow("utf8 description") << QByteArray("h;1;2;c;K\xc3\xbc"
                                                        "che\n")
                                          << QStringList{QStringLiteral("h;1;2;c;K\u00fcche")};
        // A byte that starts a multi-byte character but ends its line (an 8-bit description
        // such as "Caf\xe9") stays in that line and leaves the next line's text whole.
        QTest::newRow("unfinished character before a break")
            << QByteArray("h;1;2;c;Caf\xe9\n10.0.0.1;1;2;c;\r\nb\xe9")
            << QStringList{QStringLiteral("h;1;2;c;Caf\u00e9"), "10.0.0.1;1;2;c;",
                           QStringLiteral("b\u00e9")};
        const QByteArray longLine(DeviceFile::MaxLineBytes - 1, 'x');
        QTest::newRow("line cut inside a character")
            << longLine + "\xe2\x82\xac\nnext"
            << QStringList{QString::fromLatin1(longLine) + QChar(0xfffd), "next"};
    }
    void splitLines()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, lines);
        QCOMPARE(DeviceFile::splitLines(bytes), lines);
        // The same through a real file, fed in chunks.
        QCOMPARE(DeviceFile::readLines(write(QStringLiteral("f.dev"), bytes)), lines);
    }

    void splitFields_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QStringList>("fields"); // ip, index, bandwidth, community, description
        QTest::addColumn<QString>("listText");
        QTest::newRow("five fields")
            << "10.0.0.1;3;100000000;public;Core uplink"
            << QStringList{"10.0.0.1", "3", "100000000", "public", "Core uplink"}
            << "10.0.0.1; 3; Core uplink";
        QTest::newRow("six fields")
            << "h;1;2;c;d1;d2" << QStringList{"h", "1", "2", "c", "d1;d2"} << "h; 1; d1;d2";
        QTest::newRow("no semicolon")
            << "just text" << QStringList{"", "", "", "", "just text"} << "; ; just text";
        QTest::newRow("blank") << "" << QStringList{"", "", "", "", ""} << "; ; ";
        QTest::newRow("three semicolons")
            << "h;1;2;community" << QStringList{"h", "1", "2", "", "community"}
            << "h; 1; community";
        QTest::newRow("blanks kept")
            << " h ; 1;2;c; d " << QStringList{" h ", " 1", "2", "c", " d "} << " h ;  1;  d ";
    }
    void splitFields()
    {
        QFETCH(QString, line);
        QFETCH(QStringList, fields);
        QFETCH(QString, listText);
        const auto f = DeviceFile::splitFields(line);
        QCOMPARE((QStringList{f.ip, f.interfaceIndex, f.bandwidth, f.community, f.description}),
                 fields);
        QCOMPARE(DeviceFile::listText(f), listText);
    }

    // A line that is valid UTF-8 is read as such; any other line as Windows-1252. Either way
    // the stored row gives its community and description back in the bytes of the file.
    void linesKeepTheirEncoding_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("western");
        QTest::newRow("ASCII") << QByteArray("h;1;2;public;Core uplink")
                               << "h;1;2;public;Core uplink" << false;
        QTest::newRow("UTF-8") << QByteArray("h;1;2;caf\xc3\xa9;K\xc3\xbc"
                                             "che \xe2\x82\xac")
                               << QStringLiteral("h;1;2;caf\u00e9;K\u00fcche \u20ac") << false;
        QTest::newRow("Windows-1252")
            << QByteArray("h;1;2;caf\xe9;Z\xfcrich \x80 \x93x\x94")
            << QStringLiteral("h;1;2;caf\u00e9;Z\u00fcrich \u20ac \u201cx\u201d") << true;
        QTest::newRow("bytes Windows-1252 leaves unassigned")
            << QByteArray("h;1;2;\x81\x8d;\x8f\x90\x9d")
            << QStringLiteral("h;1;2;\u0081\u008d;\u008f\u0090\u009d") << true;
        QTest::newRow("UTF-8 with one stray byte") << QByteArray("h;1;2;c;K\xc3\xbc"
                                                                 "che \xfc")
                                                   << QStringLiteral("h;1;2;c;K\u00c3\u00bc"
                                                                     "che \u00fc")
                                                   << true;
    }
    void linesKeepTheirEncoding()
    {
        QFETCH(QByteArray, line);
        QFETCH(QString, text);
        QFETCH(bool, western);
        const LineEncoding encoding = western ? LineEncoding::Windows1252 : LineEncoding::System;
        QList<LineEncoding> encodings;
        const QStringList lines =
            DeviceFile::readLines(write(QStringLiteral("enc.dev"), line + "\r\nh;2;3;c;plain"),
                                  DeviceFile::MaxInterfaces + 1, &encodings);
        QCOMPARE(lines, (QStringList{text, "h;2;3;c;plain"}));
        QVERIFY(encodings == (QList<LineEncoding>{encoding, LineEncoding::System}));

        InterfaceTable table;
        InterfaceList list;
        table.setRowEncoding(3, LineEncoding::Windows1252); // left from an earlier file
        QVERIFY(DeviceFile::store(lines, table, list, encodings));
        QVERIFY(table.rowEncoding(1) == encoding);
        QVERIFY(table.rowEncoding(2) == LineEncoding::System);
        QVERIFY(table.rowEncoding(3) == LineEncoding::System);
        const QList<QByteArray> fields = line.split(';');
        QCOMPARE(table.cellBytes(Col::Community, 1), fields.at(3));
        QCOMPARE(table.cellBytes(Col::Description, 1), fields.at(4));
    }

    void everyWesternByteComesBack()
    {
        QByteArray all;
        for (int b = 0; b < 256; ++b)
            all.append(char(b));
        const QString text = TextEncoding::fromWindows1252(all);
        QCOMPARE(text.size(), 256);
        QCOMPARE(text.at(0x80), QChar(0x20AC));
        QCOMPARE(TextEncoding::toWindows1252(text).value_or(QByteArray()), all);
        // A character with no byte there (typed in later, say): the system's encoding.
        QVERIFY(!TextEncoding::toWindows1252(QStringLiteral("\u65e5")));
        QCOMPARE(
            TextEncoding::encode(QStringLiteral("caf\u00e9 \u65e5"), LineEncoding::Windows1252),
            QByteArray("caf\xc3\xa9 \xe6\x97\xa5"));
    }

    void storeThreeLines()
    {
        InterfaceTable table;
        table.writeHeaderAndInitialValues();
        InterfaceList list;
        QVERIFY(DeviceFile::store({"a;1;10;c;x", "b;2;20;c;y", "c;3;30;c;z"}, table, list));
        QCOMPARE(list.count(), 3);
        QCOMPARE(table.cell(Col::Number, 3), QStringLiteral("3"));
        QCOMPARE(table.cell(Col::Bandwidth, 2), QStringLiteral("20"));
        QCOMPARE(table.cell(Col::Community, 2), QStringLiteral("c"));
        for (int r = 4; r <= 20; ++r)
            for (int c = 0; c <= 4; ++c)
                QVERIFY(table.cell(c, r).isEmpty());
        for (int p = 0; p < 3; ++p)
            QVERIFY(list.isChecked(p));
    }

    void twentyAndMoreLines()
    {
        QStringList twenty;
        for (int i = 1; i <= 20; ++i)
            twenty << QStringLiteral("h%1;%1;1000;c;d%1").arg(i);
        InterfaceTable table;
        InterfaceList list;
        QVERIFY(DeviceFile::store(twenty, table, list));
        QCOMPARE(list.count(), 20);

        // A 25-line file: reading stops after the 21st line, storing after the 20th.
        QByteArray bytes;
        for (int i = 1; i <= 25; ++i)
            bytes += QStringLiteral("h%1;%1;1000;c;d%1\n").arg(i).toLatin1();
        const QStringList lines = DeviceFile::readLines(write(QStringLiteral("25.dev"), bytes));
        QCOMPARE(lines.size(), 21);
        InterfaceTable table2;
        InterfaceList list2;
        QVERIFY(!DeviceFile::store(lines, table2, list2));
        QCOMPARE(list2.count(), 20);
        QCOMPARE(table2.cell(Col::Description, 20), QStringLiteral("d20"));
    }

    void unreadableFileNamesFileAndReason()
    {
        const QString missing = m_dir.filePath(QStringLiteral("missing.dev"));
        try {
            DeviceFile::readLines(missing);
            QFAIL("no error raised");
        } catch (const OstralineError &e) {
            QVERIFY(e.message().contains(missing));
            QVERIFY(e.message().contains(QStringLiteral("No such file")));
        }
        // A folder is not a readable file either.
        QVERIFY_THROWS_EXCEPTION(OstralineError, DeviceFile::readLines(m_dir.path()));
    }

#ifdef Q_OS_UNIX
    // A device, a pipe or a folder never ends or never starts: refused at once, by name.
    void onlyRegularFiles_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("endless device") << "/dev/zero";
        QTest::newRow("pipe") << "fifo";
        QTest::newRow("folder") << "folder";
    }
    void onlyRegularFiles()
    {
        QFETCH(QString, kind);
        QString path = kind;
        if (kind == "fifo") {
            path = m_dir.filePath(QStringLiteral("pipe.dev"));
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        } else if (kind == "folder") {
            path = m_dir.path();
        }
        QString message;
        try {
            DeviceFile::readLines(path);
        } catch (const OstralineError &e) {
            message = e.message();
        }
        QCOMPARE(message, "Cannot open file \"" + path + "\". It is not a regular file.");
    }
#endif

    void binaryAndHugeFilesStayCheap()
    {
        // NUL bytes and a single 8 MB line: read in bounded time, line cut to the cap.
        QByteArray huge(8 * 1024 * 1024, 'x');
        huge[10] = '\0';
        const QStringList lines = DeviceFile::readLines(write(QStringLiteral("huge.bin"), huge));
        QCOMPARE(lines.size(), 1);
        QCOMPARE(lines.first().size(), DeviceFile::MaxLineBytes);
        // Many lines: only 21 are read.
        QByteArray many;
        for (int i = 0; i < 100000; ++i)
            many += "a;b;c;d;e\n";
        QCOMPARE(DeviceFile::readLines(write(QStringLiteral("many.dev"), many)).size(), 21);
    }

    void fileNamePart_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("name");
        QTest::newRow("unix") << "/etc/osl/routers.dev"
                              << "routers.dev";
        QTest::newRow("windows") << "D:\\cfg\\routers.dev"
                                 << "routers.dev";
        QTest::newRow("drive only") << "D:routers.dev"
                                    << "routers.dev";
        QTest::newRow("bare") << "routers.dev"
                              << "routers.dev";
        QTest::newRow("empty") << ""
                               << "";
    }
    void fileNamePart()
    {
        QFETCH(QString, path);
        QFETCH(QString, name);
        QCOMPARE(DeviceFile::fileNamePart(path), name);
    }
};

QTEST_APPLESS_MAIN(TestDeviceFile)
#include "tst_devicefile.moc"
