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
    // With late = true only the bus is started: the keyring comes with startKeyring().
    // login = false starts the keyring without its login collection: only the "session" one,
    // no default collection to store into, as on a desktop whose keyring was never set up.
    QString start(bool none, bool late = false, bool login = true)
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
        // A session bus that starts no service on demand: a keyring stopped by the test
        // stays away instead of coming back locked.
        QFile config(m_dir.filePath("bus.conf"));
        if (!config.open(QIODevice::WriteOnly) ||
            config.write("<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration "
                         "1.0//EN\" \"http://www.freedesktop.org/standards/dbus/1.0/"
                         "busconfig.dtd\">\n<busconfig><type>session</type>"
                         "<listen>unix:tmpdir=/tmp</listen><policy context=\"default\">"
                         "<allow send_destination=\"*\" eavesdrop=\"true\"/>"
                         "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy>"
                         "</busconfig>\n") < 0)
            return QStringLiteral("cannot write the bus configuration");
        config.close();
        m_bus.start(dbus,
                    {"--config-file=" + config.fileName(), "--nofork",
                     "--address=unix:path=" + m_dir.filePath("run/bus"), "--print-address=1"});
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

        m_address = address;
        m_login = login;
        return late ? QString() : startKeyring();
    }

    // Starts the keyring daemon on the bus (again, after stopKeyring(): the same folders, so
    // the same unlocked keyring with what was stored in it). Empty when it is up.
    QString startKeyring()
    {
        const QString daemon = QStandardPaths::findExecutable("gnome-keyring-daemon");
        m_keyring.setProcessEnvironment(QProcessEnvironment::systemEnvironment());
        if (m_login)
            m_keyring.start(daemon, {"--unlock", "--components=secrets", "--foreground"});
        else
            m_keyring.start(daemon, {"--components=secrets", "--foreground"});
        if (!m_keyring.waitForStarted(5000))
            return QStringLiteral("gnome-keyring-daemon did not start");
        if (m_login)
            m_keyring.write("test-password");
        m_keyring.closeWriteChannel();
        bool up = false;
        {
            QDBusConnection bus =
                QDBusConnection::connectToBus(QString::fromUtf8(m_address), "keyring-probe");
            QElapsedTimer clock;
            for (clock.start(); !up && clock.elapsed() < 10000; QTest::qWait(50))
                up = bus.interface() &&
                     bus.interface()->isServiceRegistered("org.freedesktop.secrets");
        }
        QDBusConnection::disconnectFromBus("keyring-probe");
        return up ? QString() : QStringLiteral("the keyring did not come up on the bus");
    }

    // Ends the keyring daemon: the bus stays, with nobody answering for the keyring.
    void stopKeyring() { stop(m_keyring); }

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
    QByteArray m_address;
    bool m_login = true;
};
