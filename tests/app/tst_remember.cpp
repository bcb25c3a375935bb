// What the program remembers between runs: the recent device files, the start that resumes
// polling, and the days the logs are kept; stored in the settings and applied at start.

#include "LogRetention.h"
#include "MainWindowFixture.h"
#include "OptionsDialog.h"
#include "PollCycle.h"
#include "RememberFeature.h"
#include "RememberOptionsPage.h"
#include "RememberSettings.h"
#include "SettingsKeys.h"

#include <QAction>
#include <QCheckBox>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace
{

QByteArray lines(int count)
{
    QByteArray bytes;
    for (int i = 1; i <= count; ++i)
        bytes += QStringLiteral("127.0.0.1:9;%1;1000000;public;if%1\r\n").arg(i).toUtf8();
    return bytes;
}

// The main window with its Options dialog and this feature, as the program entry makes them.
struct Window {
    MainWindowFixture fixture;
    TForm1 *form = nullptr;
    std::unique_ptr<TForm3> options;
    RememberFeature *remember = nullptr;

    explicit Window(const std::function<void(MainWindowFixture &)> &before = {})
    {
        if (before)
            before(fixture);
        form = &fixture.create();
        options = std::make_unique<TForm3>(*form, form);
        remember = new RememberFeature(*form, *options);
    }
    ~Window()
    {
        form->pollCycle().stop();
        options.reset();
    }
    QStringList menuTexts() const
    {
        QStringList texts;
        for (const QAction *item : remember->recentMenu()->actions())
            texts.append(item->text());
        return texts;
    }
};

} // namespace

class TestRemember : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { qputenv("OSTRALINE_NO_SPLASH", "1"); }

    void withRecent_data()
    {
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QStringList>("after");
        QTest::newRow("first") << QStringList{} << u"/a.dev"_s << QStringList{u"/a.dev"_s};
        QTest::newRow("to the front") << QStringList{u"/a"_s, u"/b"_s, u"/c"_s} << u"/c"_s
                                      << QStringList{u"/c"_s, u"/a"_s, u"/b"_s};
        QStringList eight;
        for (int i = 1; i <= 8; ++i)
            eight.append(u"/%1"_s.arg(i));
        QStringList shifted = eight.mid(0, 7);
        shifted.prepend(u"/new"_s);
        QTest::newRow("eight kept") << eight << u"/new"_s << shifted;
        QTest::newRow("a line break") << QStringList{u"/a"_s} << u"/x\ny"_s << QStringList{u"/a"_s};
        QTest::newRow("empty") << QStringList{u"/a"_s} << QString() << QStringList{u"/a"_s};
    }
    void withRecent()
    {
        QFETCH(QStringList, before);
        QFETCH(QString, path);
        QFETCH(QStringList, after);
        QCOMPARE(RememberSettings::withRecent(before, path), after);
    }

    // Written values read back; hand-written ones are read leniently.
    void settingsRoundTrip()
    {
        QTemporaryDir dir;
        SettingsStore store(dir.filePath(u"osl.ini"_s));
        QCOMPARE(RememberSettings::recentFiles(store), QStringList());
        QVERIFY(!RememberSettings::resumePolling(store));
        QCOMPARE(RememberSettings::logKeepDays(store), std::nullopt);
        QCOMPARE(SettingsKeys::defaultText(SettingsKeys::ResumePolling), u"no"_s);
        QCOMPARE(SettingsKeys::defaultText(SettingsKeys::LogKeepDays), QString());

        const QStringList paths{u"/srv/core sw;1.dev"_s, u"/home/op/ä=x.dev"_s};
        RememberSettings::writeRecentFiles(store, paths);
        RememberSettings::writeResumePolling(store, true);
        RememberSettings::writeLogKeepDays(store, 14);
        {
            SettingsStore again(dir.filePath(u"osl.ini"_s));
            QCOMPARE(RememberSettings::recentFiles(again), paths);
            QVERIFY(RememberSettings::resumePolling(again));
            QCOMPARE(RememberSettings::logKeepDays(again), 14);
            QCOMPARE(again.read(SettingsKeys::ResumePolling), u"yes"_s);
            QCOMPARE(again.read(SettingsKeys::LogKeepDays), u"14"_s);
        }
        RememberSettings::writeLogKeepDays(store, std::nullopt);
        QCOMPARE(store.read(SettingsKeys::LogKeepDays), QString());

        store.write(SettingsKeys::RecentFiles, u"/a\n\n/b\n/a\n  \n"_s);
        QCOMPARE(RememberSettings::recentFiles(store), (QStringList{u"/a"_s, u"/b"_s}));
        for (const QString &text : {u"Yes"_s, u"1"_s, u""_s}) {
            store.write(SettingsKeys::ResumePolling, text);
            QVERIFY(!RememberSettings::resumePolling(store));
        }
        for (const QString &text : {u"0"_s, u"-3"_s, u"x"_s, u"10000"_s, u"2.5"_s})
            QCOMPARE(RememberSettings::logKeepDays(text), std::nullopt);
        QCOMPARE(RememberSettings::logKeepDays(u" 7 "_s), 7);
    }

    // Every loaded device file goes to the front of File > Recent device files and into the
    // setting; an entry loads its file; a file that is gone leaves the list with a note.
    void recentDeviceFiles()
    {
        Window w;
        QCOMPARE(w.menuTexts(), QStringList{u"(&none)"_s});
        QMenu *menu = w.remember->recentMenu();
        QCOMPARE(menu->menuAction()->text().remove(u'&'), u"Recent device files"_s);
        // Right after File > Open device file, with an underlined letter of its own there.
        QAction *open = w.form->findChild<QAction *>(u"Opendevicefile1"_s);
        QVERIFY(open);
        QMenu *file = qobject_cast<QMenu *>(open->parent());
        QVERIFY(file);
        const QList<QAction *> items = file->actions();
        QCOMPARE(items.value(items.indexOf(open) + 1), menu->menuAction());
        QSet<QChar> letters;
        for (const QAction *item : items) {
            if (item->isSeparator())
                continue;
            const QString text = QString(item->text()).replace(u"&&"_s, u"__"_s);
            const qsizetype at = text.indexOf(u'&');
            QVERIFY2(at >= 0 && at + 1 < text.size(), qPrintable(item->text()));
            const QChar letter = text.at(at + 1).toLower();
            QVERIFY2(!letters.contains(letter), qPrintable(item->text()));
            letters.insert(letter);
        }

        const QString three = w.fixture.writeFile(u"three.dev"_s, lines(3));
        const QString five = w.fixture.writeFile(u"a&b.dev"_s, lines(5));
        w.form->setDeviceFileChooser([&] { return three; });
        w.form->Button8Click();
        w.form->setDeviceFileChooser([&] { return five; });
        w.form->Button8Click();
        QCOMPARE(w.menuTexts(), (QStringList{u"&1 a&&b.dev"_s, u"&2 three.dev"_s}));
        QCOMPARE(w.fixture.stored(u"recent files"_s), five + u'\n' + three);

        menu->actions().at(1)->trigger();
        QCOMPARE(w.form->interfaceList().count(), 3);
        QCOMPARE(w.menuTexts(), (QStringList{u"&1 three.dev"_s, u"&2 a&&b.dev"_s}));

        QVERIFY(QFile::remove(five));
        menu->actions().at(1)->trigger();
        QCOMPARE(w.form->interfaceList().count(), 3); // nothing else was loaded
        QCOMPARE(w.menuTexts(), QStringList{u"&1 three.dev"_s});
        QCOMPARE(w.fixture.stored(u"recent files"_s), three);
        QVERIFY(w.form->statusText(0).contains(u"a&b.dev"_s));
        QVERIFY(w.form->statusText(0).contains(u"taken off the recent files"_s));
    }

    // "resume polling" yes: the last device file is loaded and polled without a key press;
    // "no" (and absent): the start is the plain one: nothing loaded, nothing polled.
    void resumeAtStart_data()
    {
        QTest::addColumn<QString>("resume"); // "" leaves the value absent
        QTest::addColumn<bool>("polls");
        QTest::newRow("yes") << u"yes"_s << true;
        QTest::newRow("no") << u"no"_s << false;
        QTest::newRow("absent") << QString() << false;
    }
    void resumeAtStart()
    {
        QFETCH(QString, resume);
        QFETCH(bool, polls);
        Window w([&](MainWindowFixture &f) {
            const QString file = f.writeFile(u"last.dev"_s, lines(2));
            f.store(u"recent files"_s, file);
            if (!resume.isEmpty())
                f.store(u"resume polling"_s, resume);
        });
        QCOMPARE(w.form->pollCycle().isPolling(), polls);
        QCOMPARE(w.form->interfaceList().count(), polls ? 2 : 0);
        QCOMPARE(w.fixture.exists(u"resume polling"_s), !resume.isEmpty());
    }

    // With a start file flagged, "resume polling" polls that file: start-up's own choice
    // of file stands.
    void resumeKeepsTheStartFile()
    {
        Window w([&](MainWindowFixture &f) {
            const QString start = f.writeFile(u"start.dev"_s, lines(4));
            f.store(u"first start file"_s, start);
            f.store(u"first start file active"_s, u"yes"_s);
            f.store(u"recent files"_s, f.writeFile(u"last.dev"_s, lines(2)));
            f.store(u"resume polling"_s, u"yes"_s);
        });
        QVERIFY(w.form->pollCycle().isPolling());
        QCOMPARE(w.form->interfaceList().count(), 4);
    }

    // The "Start and logs" page: OK stores both values and hands the days to the logs;
    // Cancel shows the stored values again.
    void optionsPage()
    {
        Window w;
        auto *page = w.options->findChild<RememberOptionsPage *>();
        QVERIFY(page);
        QCOMPARE(w.options->pages()->tabText(w.options->pages()->indexOf(page)),
                 u"Start and logs"_s);
        QVERIFY(!page->resume->isChecked());
        QVERIFY(!page->keepLogs->isChecked());
        QVERIFY(!page->days->isEnabled());
        QCOMPARE(LogRetention::keepDays(), std::nullopt);

        page->resume->setChecked(true);
        page->keepLogs->setChecked(true);
        page->days->setValue(21);
        w.options->accept();
        QCOMPARE(w.fixture.stored(u"resume polling"_s), u"yes"_s);
        QCOMPARE(w.fixture.stored(u"log keep days"_s), u"21"_s);
        QCOMPARE(LogRetention::keepDays(), 21);

        page->keepLogs->setChecked(false);
        page->resume->setChecked(false);
        w.options->reject();
        QVERIFY(page->resume->isChecked());
        QVERIFY(page->keepLogs->isChecked());
        QCOMPARE(page->days->value(), 21);
    }
};

QTEST_MAIN(TestRemember)
#include "tst_remember.moc"
