#include "LogFixture.h"

#include <QTest>

using namespace LogFixture;

namespace
{

enum Log { Utilisation, Analysis };

QString header(int log, const InterfaceTable &table)
{
    return log == Utilisation ? UtilisationLog::headerLine(table, Stamp)
                              : AnalysisLog::headerLine(table, Stamp);
}

QString data(int log, const InterfaceTable &table)
{
    return log == Utilisation ? UtilisationLog::dataLine(table, Stamp)
                              : AnalysisLog::dataLine(table, Stamp);
}

QByteArray dataBytes(int log, const InterfaceTable &table)
{
    return log == Utilisation ? UtilisationLog::dataBytes(table, Stamp)
                              : AnalysisLog::dataBytes(table, Stamp);
}

// Every interface row filled with cells named "<header>.<row>".
void fillTwenty(InterfaceTable &table)
{
    table.writeHeaderAndInitialValues();
    for (int r = 1; r <= 20; ++r)
        for (int c = 0; c < 20; ++c)
            table.setCell(c, r, QStringLiteral("%1.%2").arg(table.cell(c, 0)).arg(r));
}

// The expected line for fillTwenty: the named fields of each of the 20 rows.
QString twentyLine(const QStringList &fieldNames)
{
    QString line = Stamp + QStringLiteral("; ");
    for (int r = 1; r <= 20; ++r)
        for (const QString &name : fieldNames)
            line += QStringLiteral("%1.%2; ").arg(name).arg(r);
    return line;
}

const QStringList UtilisationNames = {"Number",    "description",  "IP",          "Interface",
                                      "bandwidth", "indeltapers",  "inutil",      "outdeltapers",
                                      "oututil",   "combinedpers", "combinedutil"};
const QStringList AnalysisNames = {"Number",    "IP",           "Interface",    "community",
                                   "bandwidth", "orgin",        "inbitnew",     "inbitold",
                                   "indelta",   "indeltapers",  "inutil",       "orgout",
                                   "outbitnew", "outbitold",    "outdelta",     "outdeltapers",
                                   "oututil",   "combinedpers", "combinedutil", "description"};

} // namespace

class TestLogLines : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The header names ten interfaces' fields however many are loaded.
    void headerLine_data()
    {
        QTest::addColumn<int>("log");
        QTest::addColumn<int>("interfaces");
        QTest::addColumn<QString>("expected");
        for (const int n : {0, 3, 20}) {
            QTest::addRow("utilisation, %d interfaces", n)
                << int(Utilisation) << n << utilisationHeader(Stamp);
            QTest::addRow("analysis, %d interfaces", n)
                << int(Analysis) << n << analysisHeader(Stamp);
        }
    }
    void headerLine()
    {
        QFETCH(int, log);
        QFETCH(int, interfaces);
        QFETCH(QString, expected);
        InterfaceTable table;
        if (interfaces == 20)
            fillTwenty(table);
        else if (interfaces == 3)
            fillThree(table);
        else
            table.writeHeaderAndInitialValues();
        QCOMPARE(header(log, table), expected);
    }

    void dataLine_data()
    {
        QTest::addColumn<int>("log");
        QTest::addColumn<QString>("fixture");
        QTest::addColumn<QString>("expected");
        QTest::newRow("utilisation, 3 interfaces")
            << int(Utilisation) << "three" << utilisationThree(Stamp);
        QTest::newRow("analysis, 3 interfaces") << int(Analysis) << "three" << analysisThree(Stamp);
        QTest::newRow("utilisation, 20 interfaces")
            << int(Utilisation) << "twenty" << twentyLine(UtilisationNames);
        QTest::newRow("analysis, 20 interfaces")
            << int(Analysis) << "twenty" << twentyLine(AnalysisNames);
        QTest::newRow("utilisation, none loaded") << int(Utilisation) << "none" << Stamp + "; ";
        QTest::newRow("analysis, none loaded") << int(Analysis) << "none" << Stamp + "; ";
        // Row 2 loses its Number: row 3 is filled but no longer reached.
        QTest::newRow("utilisation, empty Number ends the line")
            << int(Utilisation) << "gap"
            << Stamp + "; 1; Core uplink; 10.0.0.1; 3; 100000000; 1000; 0.008; 2000; 0.016; "
                       "3000; 0.024; ";
        QTest::newRow("analysis, empty Number ends the line")
            << int(Analysis) << "gap"
            << Stamp + "; 1; 10.0.0.1; 3; public; 100000000; 1234567; 1234567; 1231567; 3000; "
                       "1000; 0.008; -5; 4294967291; 4294961291; 6000; 2000; 0.016; 3000; "
                       "0.024; Core uplink; ";
    }
    void dataLine()
    {
        QFETCH(int, log);
        QFETCH(QString, fixture);
        QFETCH(QString, expected);
        InterfaceTable table;
        if (fixture == "twenty") {
            fillTwenty(table);
        } else if (fixture == "none") {
            table.writeHeaderAndInitialValues();
        } else {
            fillThree(table);
            if (fixture == "gap")
                table.setCell(Col::Number, 2, QString());
        }
        QCOMPARE(data(log, table), expected);
        QCOMPARE(dataBytes(log, table), expected.toLocal8Bit());
    }

    // A row read from the device file as Windows-1252 is written in those bytes; the rest of
    // the line in the locale's encoding.
    void rowsAreWrittenInTheirOwnEncoding_data()
    {
        QTest::addColumn<int>("log");
        QTest::newRow("utilisation") << int(Utilisation);
        QTest::newRow("analysis") << int(Analysis);
    }
    void rowsAreWrittenInTheirOwnEncoding()
    {
        QFETCH(int, log);
        InterfaceTable table;
        fillThree(table);
        table.setCell(Col::Description, 1, QStringLiteral("Z\u00fcrich \u20ac"));
        table.setCell(Col::Community, 1, QStringLiteral("caf\u00e9"));
        table.setRowEncoding(1, LineEncoding::Windows1252);
        table.setCell(Col::Description, 2, QStringLiteral("Gen\u00e8ve"));
        QByteArray expected = data(log, table).toLocal8Bit();
        expected.replace("Z\xc3\xbcrich \xe2\x82\xac", "Z\xfcrich \x80");
        expected.replace("caf\xc3\xa9", "caf\xe9");
        QVERIFY(expected.contains("Gen\xc3\xa8ve"));
        QCOMPARE(dataBytes(log, table), expected);
    }
};

QTEST_GUILESS_MAIN(TestLogLines)
#include "tst_loglines.moc"
