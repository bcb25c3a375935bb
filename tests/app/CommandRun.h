#pragma once

// Runs the program built with the test (OSTRALINE_EXECUTABLE, defined by the test's target) as
// an operator's terminal would, without a display, and gives back what it said and its exit
// status.

#include <QMap>
#include <QProcess>
#include <QString>
#include <QStringList>

struct Result {
    int status = -1; // -1: still running at the time-out, or crashed
    QString out;
    QString err;
};

// extraEnv: variables to set (an empty value removes the variable).
// program/leading: another program to run the arguments with (unshare -m ...).
inline Result ostraline(const QStringList &arguments, const QMap<QString, QString> &extraEnv = {},
                        int timeoutMs = 60000, const QString &program = QString(),
                        const QStringList &leading = {})
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (auto it = extraEnv.cbegin(); it != extraEnv.cend(); ++it) {
        if (it.value().isEmpty())
            env.remove(it.key());
        else
            env.insert(it.key(), it.value());
    }
    // No display: the command line must not need one.
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    env.remove("QT_QPA_PLATFORM");
    process.setProcessEnvironment(env);
    if (program.isEmpty())
        process.start(QStringLiteral(OSTRALINE_EXECUTABLE), arguments);
    else
        process.start(program, leading + arguments);
    Result result;
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        return result;
    }
    result.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}
