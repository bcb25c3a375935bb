#include "TextEditor.h"

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
        QVERIFY(TextEditor::open(path));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(record), 5000);
        QFile result(record);
        QVERIFY(result.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(result.readAll()), "1|" + path + "|");
    }
};

QTEST_GUILESS_MAIN(TestTextEditor)
#include "tst_texteditor.moc"
