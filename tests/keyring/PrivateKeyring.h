#pragma once

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

// A keyring of the test's own: dbus-daemon with a private session bus and a
// gnome-keyring-daemon on it, started unlocked, with their own home, data and runtime folders
// (set in this process's environment, as is the bus address). With none = true nothing is
// started and the bus address names a socket where nothing listens, as on a bare server. The
// machine's own bus and keyring are never used. Both daemons end with the object.
class PrivateKeyring
{
public:
    // Empty when ready; otherwise why not (a missing program means the caller should skip).
    // login = false starts the keyring without its login collection: only the "session" one,
    // no default collection to store into, as on a desktop whose keyring was never set up.
    QString start(bool none, bool login = true)
    {
        for (const char *folder : {"home", "run"})
            QDir().mkpath(m_dir.filePath(folder));
        QFile::setPermissions(m_dir.filePath("run"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("HOME", QFile::encodeName(m_dir.filePath("home")));
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_dir.filePath("run")));
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_dir.filePath("home/.local/share")));
        qunsetenv("XDG_CURRENT_DESKTOP");
        qunsetenv("KDE_FULL_SESSION");
        if (none) {
            qputenv("DBUS_SESSION_BUS_ADDRESS",
                    "unix:path=" + QFile::encodeName(m_dir.filePath("run/no-bus-here")));
            return {};
        }
        const QString dbus = QStandardPaths::findExecutable("dbus-daemon");
        const QString daemon = QStandardPaths::findExecutable("gnome-keyring-daemon");
        if (dbus.isEmpty() || daemon.isEmpty())
            return QStringLiteral("missing: dbus-daemon or gnome-keyring-daemon is not installed");
        m_bus.start(dbus, {"--session", "--nofork", "--print-address=1"});
        if (!m_bus.waitForStarted(5000))
            return QStringLiteral("dbus-daemon did not start");
        QElapsedTimer clock;
        clock.start();
        while (!m_bus.canReadLine() && clock.elapsed() < 5000)
            m_bus.waitForReadyRead(100);
        const QByteArray address = m_bus.readLine().trimmed();
        if (!address.startsWith("unix:"))
            return QStringLiteral("dbus-daemon gave no address");
        qputenv("DBUS_SESSION_BUS_ADDRESS", address);

        m_keyring.setProcessEnvironment(QProcessEnvironment::systemEnvironment());
        if (login)
            m_keyring.start(daemon, {"--unlock", "--components=secrets", "--foreground"});
        else
            m_keyring.start(daemon, {"--components=secrets", "--foreground"});
        if (!m_keyring.waitForStarted(5000))
            return QStringLiteral("gnome-keyring-daemon did not start");
        if (login)
            m_keyring.write("test-password");
        m_keyring.closeWriteChannel();
        bool up = false;
        {
            QDBusConnection bus =
                QDBusConnection::connectToBus(QString::fromUtf8(address), "keyring-probe");
            for (clock.restart(); !up && clock.elapsed() < 10000; QTest::qWait(50))
                up = bus.interface() &&
                     bus.interface()->isServiceRegistered("org.freedesktop.secrets");
        }
        QDBusConnection::disconnectFromBus("keyring-probe");
        return up ? QString() : QStringLiteral("the keyring did not come up on the bus");
    }

    ~PrivateKeyring()
    {
        stop(m_keyring);
        stop(m_bus);
    }

    QString folder() const { return m_dir.path(); }

private:
    static void stop(QProcess &process)
    {
        if (process.state() == QProcess::NotRunning)
            return;
        process.terminate();
        if (!process.waitForFinished(3000)) {
            process.kill();
            process.waitForFinished(3000);
        }
    }

    QTemporaryDir m_dir;
    QProcess m_bus;
    QProcess m_keyring;
};
