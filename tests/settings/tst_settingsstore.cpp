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
        SettingsStore store(unwritablePath(dir));
        QVERIFY(!store.exists(SettingsKeys::HighValue));
        try {
            store.write(SettingsKeys::HighValue, "70");
            QFAIL("write into an unwritable store succeeded");
        } catch (const OstralineError &error) {
            QCOMPARE(error.message(), QStringLiteral("Failed to set data for 'highvalue'"));
        }
    }

    void unwritableStoreEndsStartUpWithOneReport()
    {
        QTemporaryDir dir;
        SettingsStore store(unwritablePath(dir));
        int appliedCount = 0;
        QVERIFY(
            !applyStartupSettings(store, [&](QStringView, const QString &) { ++appliedCount; }));
        QCOMPARE(appliedCount, 0);
        QCOMPARE(m_reported, QStringList{"Failed to set data for 'highvalue'"});
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
