#include "ErrorReport.h"
#include "SettingsKeys.h"
#include "SettingsStore.h"
#include "StartupSettings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

// The tests run against $XDG_CONFIG_HOME, which main() points at a temporary folder before
// anything looks at the user's configuration.
class TestSettingsStore : public QObject
{
    Q_OBJECT

public:
    explicit TestSettingsStore(QString configHome) : m_configHome(std::move(configHome)) {}

private:
    QString m_configHome;
    QStringList m_reported;
    ErrorReport::Handler m_previousHandler;

    QString iniPath() const { return m_configHome + "/Kelvane/OSL.ini"; }

    // The stored values as another process would see them: a copy of the file, parsed by
    // a QSettings that has never seen it.
    QMap<QString, QVariant> valuesOnDisk(const QString &path) const
    {
        const QString copy = m_configHome + "/copy.ini";
        QFile::remove(copy);
        if (!QFile::copy(path, copy))
            return {};
        QSettings settings(copy, QSettings::IniFormat);
        QMap<QString, QVariant> values;
        for (const QString &key : settings.allKeys())
            values.insert(key, settings.value(key));
        return values;
    }

    static QString unwritablePath(const QTemporaryDir &dir)
    {
        // A folder that cannot be created, even by root: its parent is a regular file.
        QFile blocker(dir.filePath("blocker"));
        if (blocker.open(QIODevice::WriteOnly))
            blocker.close();
        return dir.filePath("blocker/Kelvane/OSL.ini");
    }

private Q_SLOTS:
    void init()
    {
        QDir(m_configHome + "/Kelvane").removeRecursively();
        m_reported.clear();
        m_previousHandler =
            ErrorReport::setHandler([this](const QString &message) { m_reported << message; });
    }
    void cleanup() { ErrorReport::setHandler(m_previousHandler); }

    void defaultStoreLivesInConfigHome()
    {
        SettingsStore store;
        QCOMPARE(store.location(), iniPath());
        QVERIFY(QFile::exists(iniPath()));
        QVERIFY(!store.exists(SettingsKeys::HighValue));
        QCOMPARE(store.read(SettingsKeys::HighValue), QString());
    }

    void firstStartWritesAllDefaultsInOrder()
    {
        SettingsStore store;
        QStringList applied;
        bool lowExistedWhenHighApplied = false;
        bool nextExistedWhenOnErrorsApplied = true;
        const bool ok = applyStartupSettings(store, [&](QStringView name, const QString &text) {
            applied << name.toString() + '=' + text;
            SettingsStore handlerStore; // a handler opens its own store
            if (name == SettingsKeys::HighValue)
                lowExistedWhenHighApplied = handlerStore.exists(SettingsKeys::LowValue);
            if (name == SettingsKeys::OnErrors)
                nextExistedWhenOnErrorsApplied = handlerStore.exists(SettingsKeys::HighValueColor);
        });
        QVERIFY(ok);
        QVERIFY(m_reported.isEmpty());
        QVERIFY(lowExistedWhenHighApplied);
        QVERIFY(!nextExistedWhenOnErrorsApplied);

        QStringList expected;
        QMap<QString, QVariant> expectedOnDisk;
        for (const SettingsKeys::Setting &setting : SettingsKeys::StartupOrder) {
            expected << setting.name.toString() + '=' + setting.defaultText.toString();
            expectedOnDisk.insert(setting.name.toString(), setting.defaultText.toString());
        }
        QCOMPARE(applied, expected);
        QCOMPARE(valuesOnDisk(iniPath()), expectedOnDisk);
    }

    // Stored texts are applied as they stand and never rewritten by the read itself, odd
    // ones included.
    void storedValuesAreReadNotReplaced()
    {
        {
            SettingsStore store;
            store.write(SettingsKeys::HighValue, "10");
            store.write(SettingsKeys::LowValue, "30");
            store.write(SettingsKeys::Intervall, "7");
            store.write(SettingsKeys::WriteUtilLog, "Yes");
            store.write(SettingsKeys::FirstStartFile, "/data/core routers.dev");
        }
        SettingsStore store;
        QMap<QString, QString> applied;
        QVERIFY(applyStartupSettings(store, [&](QStringView name, const QString &text) {
            applied[name.toString()] = text;
        }));
        QCOMPARE(applied.value("highvalue"), "10");
        QCOMPARE(applied.value("lowvalue"), "30");
        QCOMPARE(applied.value("intervall"), "7");
        QCOMPARE(applied.value("Write util log"), "Yes");
        QCOMPARE(applied.value("first start file"), "/data/core routers.dev");
        QCOMPARE(applied.value("values"), "comb");
        const auto onDisk = valuesOnDisk(iniPath());
        QCOMPARE(onDisk.value("intervall"), "7");
        QCOMPARE(onDisk.value("highvalue"), "10");
    }

    // Applying "intervall" runs the poll-interval handler, which also stores "double update
    // speed" from its check box before that value is applied; the stored "yes" still applies.
    void earlierHandlerDoesNotOverwriteALaterValue()
    {
        {
            SettingsStore store;
            store.write(SettingsKeys::Intervall, "12");
            store.write(SettingsKeys::DoubleUpdateSpeed, "yes");
        }
        SettingsStore store;
        QMap<QString, QString> applied;
        QVERIFY(applyStartupSettings(store, [&](QStringView name, const QString &text) {
            applied[name.toString()] = text;
            if (name == SettingsKeys::Intervall) {
                SettingsStore handlerStore;
                handlerStore.write(SettingsKeys::Intervall, text);
                handlerStore.write(SettingsKeys::DoubleUpdateSpeed, "no");
            }
        }));
        QCOMPARE(applied.value("intervall"), "12");
        QCOMPARE(applied.value("double update speed"), "yes");
    }

    // A text that cannot be applied is reported by its own message; the later values are
    // still ensured and applied.
    void unconvertibleTextDoesNotStopStartUp()
    {
        {
            SettingsStore store;
            store.write(SettingsKeys::HighValue, "abc");
        }
        SettingsStore store;
        QStringList applied;
        const bool ok = applyStartupSettings(store, [&](QStringView name, const QString &text) {
            if (name == SettingsKeys::HighValue)
                throw OstralineError("'" + text + "' is not a valid whole number");
            applied << name.toString();
        });
        QVERIFY(ok);
        QCOMPARE(m_reported, QStringList{"'abc' is not a valid whole number"});
        QCOMPARE(applied.size(), int(SettingsKeys::StartupOrder.size()) - 1);
        QVERIFY(store.exists(SettingsKeys::FirstStartFileActive));
    }

    void unwritableStoreNamesTheValue()
    {
        QTemporaryDir dir;
        const QString path = unwritablePath(dir);
        SettingsStore store(path);
        QVERIFY(!store.exists(SettingsKeys::HighValue));
        try {
            store.write(SettingsKeys::HighValue, "70");
            QFAIL("write into an unwritable store succeeded");
        } catch (const OstralineError &error) {
            QCOMPARE(error.message(), "Failed to set data for 'highvalue'. Cannot write settings "
                                      "file \"" +
                                          path + "\". Not a directory");
        }
    }

    // A store that cannot be written gives one report for the whole start, naming the file
    // and the system's reason; every value is still applied, the stored ones as stored and
    // the absent ones with their defaults.
    void unwritableStoreGivesOneReport_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("reason");
        QTest::newRow("read-only file") << "readonly"
                                        << "Permission denied";
        QTest::newRow("folder in place of the file") << "folder"
                                                     << "Is a directory";
        QTest::newRow("folder cannot be created") << "blocked"
                                                  << "Not a directory";
    }
    void unwritableStoreGivesOneReport()
    {
        QFETCH(QString, kind);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        QString path = iniPath();
        if (kind == "readonly") {
            {
                SettingsStore store;
                store.write(SettingsKeys::Intervall, "12");
                store.write(SettingsKeys::ShowErrors, "yes");
            }
            // The owner's write bit decides, so the superuser is refused too.
            QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup));
        } else if (kind == "folder") {
            QVERIFY(QDir().mkpath(path));
        } else {
            path = unwritablePath(dir);
        }
        SettingsStore store(path);
        QMap<QString, QString> applied;
        QStringList order;
        QVERIFY(!applyStartupSettings(store, [&](QStringView name, const QString &text) {
            applied[name.toString()] = text;
            order << name.toString();
            // A handler's own write is refused without a second report.
            ErrorReport::guarded([&] { store.write(name, text); });
        }));
        QCOMPARE(m_reported.size(), 1);
        QVERIFY2(m_reported.first().startsWith("Failed to set data for '"),
                 qPrintable(m_reported.first()));
        QVERIFY2(
            m_reported.first().endsWith(". Cannot write settings file \"" + path + "\". " + reason),
            qPrintable(m_reported.first()));
        QCOMPARE(order.size(), int(SettingsKeys::StartupOrder.size()));
        QCOMPARE(applied.value("intervall"), kind == "readonly" ? "12" : "6");
        QCOMPARE(applied.value("Show errors"), kind == "readonly" ? "yes" : "no");
        QCOMPARE(applied.value("highvalue"), "70");
        QVERIFY(ErrorReport::isFailing(SettingsStore::FailureSource.toString()));

        // Once the file can be written again, a write goes through and re-arms the report.
        if (kind == "readonly") {
            QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner));
            store.write(SettingsKeys::Intervall, "30");
            QVERIFY(!ErrorReport::isFailing(SettingsStore::FailureSource.toString()));
            QCOMPARE(valuesOnDisk(path).value("intervall"), "30");
        }
    }

    // Junk in the file is not a write failure: the values that can be read are applied,
    // writes go through without a report.
    void junkContentIsNoWriteFailure()
    {
        QDir().mkpath(m_configHome + "/Kelvane");
        QFile file(iniPath());
        QVERIFY(file.open(QIODevice::WriteOnly));
        const char junk[] = "intervall=12\n\x00\x01\xff\xfe[junk\n\x7f\x80garbage without equals\n";
        file.write(junk, sizeof junk - 1);
        file.close();
        SettingsStore store;
        QMap<QString, QString> applied;
        QVERIFY(applyStartupSettings(store, [&](QStringView name, const QString &text) {
            applied[name.toString()] = text;
        }));
        QCOMPARE(m_reported, QStringList());
        QCOMPARE(applied.value("intervall"), "12");
        store.write(SettingsKeys::Intervall, "30");
        QCOMPARE(SettingsStore().read(SettingsKeys::Intervall), "30");
    }

    // One value that is not a text (a list, as a hand edit with a comma gives) is reported
    // once and left out; every other value is applied in order, and the stored list is not
    // overwritten by the default.
    void wrongTypeCostsOnlyItsValue()
    {
        QDir().mkpath(m_configHome + "/Kelvane");
        QFile file(iniPath());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[General]\nhighvalue=1, 2\nlowvalue=5\nintervall=12\nShow%20errors=yes\n");
        file.close();
        SettingsStore store;
        QStringList order;
        QMap<QString, QString> applied;
        QVERIFY(!applyStartupSettings(store, [&](QStringView name, const QString &text) {
            order << name.toString();
            applied[name.toString()] = text;
            // A handler run by start-up that stores the unread value's control state.
            if (name == SettingsKeys::LowValue)
                SettingsStore().write(SettingsKeys::HighValue, "70");
        }));
        QCOMPARE(m_reported, QStringList{"Invalid data type for 'highvalue'"});
        QStringList expected;
        for (const SettingsKeys::Setting &setting : SettingsKeys::StartupOrder)
            expected << setting.name.toString();
        expected.removeFirst();
        QCOMPARE(order, expected);
        QCOMPARE(applied.value("lowvalue"), "5");
        QCOMPARE(applied.value("intervall"), "12");
        QCOMPARE(applied.value("Show errors"), "yes");
        QCOMPARE(valuesOnDisk(iniPath()).value("highvalue"), QVariant(QStringList{"1", "2"}));

        // A later read of the same value (the Options fill) is not reported again.
        QVERIFY(!ErrorReport::guarded([&] { store.read(SettingsKeys::HighValue); }));
        QCOMPARE(m_reported.size(), 1);
        // After start-up the operator's own choice is stored as usual.
        store.write(SettingsKeys::HighValue, "80");
        QCOMPARE(valuesOnDisk(iniPath()).value("highvalue"), "80");
    }

    // Names keep their blanks and case and stay plain values, never sub-keys; the texts
    // come back exactly, including the characters an INI file treats specially.
    void namesAndTextsSurviveFreshRead_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        QTest::newRow("blanks in name") << "double update speed"
                                        << "yes";
        QTest::newRow("mixed case name") << "Show interface names"
                                         << "no";
        QTest::newRow("empty text") << "first start file"
                                    << "";
        QTest::newRow("path with comma, semicolon, equals") << "first start file"
                                                            << "C:\\Ostraline\\a b, c;d=e.dev";
        QTest::newRow("leading and trailing blanks") << "first start file"
                                                     << "  spaced  ";
        QTest::newRow("leading at sign") << "first start file"
                                         << "@Variant(x)";
        QTest::newRow("quotes and hash") << "first start file"
                                         << "\"#1\" 'x'";
        QTest::newRow("non-ASCII") << "first start file"
                                   << "/home/jürgen/Geräte.dev";
        QTest::newRow("name like the INI section") << "General"
                                                   << "x";
    }
    void namesAndTextsSurviveFreshRead()
    {
        QFETCH(QString, name);
        QFETCH(QString, text);
        // The file is copied while the writing store is still open: each write is on disk
        // at once, not only when the store closes.
        SettingsStore store;
        store.write(name, text);
        const QMap<QString, QVariant> expected{{name, QVariant(text)}};
        QCOMPARE(valuesOnDisk(iniPath()), expected);
        SettingsStore reopened;
        QCOMPARE(reopened.read(name), text);
    }

    // A value edited by hand into something that is not a single string is refused by name.
    void nonStringValueIsInvalidDataType()
    {
        QDir().mkpath(m_configHome + "/Kelvane");
        QFile file(iniPath());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[General]\nfirst%20start%20file=C:\\a, b.dev\n");
        file.close();
        SettingsStore store;
        QVERIFY(store.exists(SettingsKeys::FirstStartFile));
        try {
            store.read(SettingsKeys::FirstStartFile);
            QFAIL("a list was read as a string");
        } catch (const OstralineError &error) {
            QCOMPARE(error.message(), QStringLiteral("Invalid data type for 'first start file'"));
        }
    }

    // A handler's write through its own store is seen by the store its caller holds open.
    void writesAreSeenByOpenStores()
    {
        SettingsStore outer;
        QVERIFY(!outer.exists(SettingsKeys::DoubleUpdateSpeed));
        {
            SettingsStore handler;
            handler.write(SettingsKeys::DoubleUpdateSpeed, "yes");
        }
        QCOMPARE(outer.read(SettingsKeys::DoubleUpdateSpeed), QStringLiteral("yes"));
    }

    void separatorsInNamesAreRefused()
    {
        SettingsStore store;
        QVERIFY_THROWS_EXCEPTION(OstralineError, store.write(u"a/b", "x"));
        QVERIFY_THROWS_EXCEPTION(OstralineError, store.exists(u"a\\b"));
        QVERIFY(valuesOnDisk(iniPath()).isEmpty());
    }
};

int main(int argc, char **argv)
{
    QTemporaryDir configHome;
    if (!configHome.isValid())
        return 1;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(configHome.path()));
    QCoreApplication app(argc, argv);
    TestSettingsStore test(configHome.path());
    return QTest::qExec(&test, argc, argv);
}

#include "tst_settingsstore.moc"
