#include "ShellOpen.h"

#include "ErrorReport.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// The editor is started with a stand-in program first on PATH that records its arguments.
class TestTextEditor : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void startsTheEditorWithThePathAsOnlyArgument()
    {
        QTemporaryDir dir;
        const QString record = dir.filePath("arguments");
        const QString standIn = dir.filePath("xdg-open");
        QFile script(standIn);
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\nprintf '%s|' \"$#\" \"$@\" > \"" + record.toUtf8() +
                     ".tmp\"\n"
                     "mv \"" +
                     record.toUtf8() + ".tmp\" \"" + record.toUtf8() + "\"\n");
        script.close();
        script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("PATH", dir.path().toLocal8Bit() + ":" + qgetenv("PATH"));

        const QString path = dir.filePath("core routers; \"main\".dev");
        QVERIFY(ShellOpen::openInTextEditor(path));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(record), 5000);
        QFile result(record);
        QVERIFY(result.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(result.readAll()), "1|" + path + "|");
    }

    // No program can open the file: the launcher is missing, or it ends with a failure. The
    // error report says so once, naming the file.
    void failureIsReported_data()
    {
        QTest::addColumn<bool>("present");
        QTest::addColumn<QString>("reason");
        QTest::newRow("no launcher") << false << "xdg-open could not be started";
        QTest::newRow("launcher fails") << true << "xdg-open ended with exit code 3.";
    }
    void failureIsReported()
    {
        QFETCH(bool, present);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        if (present) {
            QFile script(dir.filePath("xdg-open"));
            QVERIFY(script.open(QIODevice::WriteOnly));
            script.write("#!/bin/sh\nexit 3\n");
            script.close();
            script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }
        const QByteArray savedPath = qgetenv("PATH");
        qputenv("PATH", dir.path().toLocal8Bit());
        QStringList reported;
        const auto previous =
            ErrorReport::setHandler([&](const QString &message) { reported << message; });
        const QString path = dir.filePath("routers.dev");
        QCOMPARE(ShellOpen::openInTextEditor(path), present);
        QTRY_COMPARE_WITH_TIMEOUT(reported.size(), 1, 5000);
        QTest::qWait(100);
        ErrorReport::setHandler(previous);
        qputenv("PATH", savedPath);
        QCOMPARE(reported.size(), 1);
        QVERIFY2(
            reported.first().startsWith("Cannot open \"" + path + "\" in a text editor: " + reason),
            qPrintable(reported.first()));
    }
};

QTEST_GUILESS_MAIN(TestTextEditor)
#include "tst_texteditor.moc"
