#include "AlertCommand.h"

#include "ProcessGroup.h"
#include "ScrubbedEnvironment.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QTimer>

namespace
{

// How often a run whose command has ended looks whether its group is empty yet (a look reads
// /proc, so not too often).
constexpr int LingerCheckMs = 200;

qint64 groupOf(const QProcess *process)
{
    return process->property("group").toLongLong();
}

} // namespace

AlertCommand::AlertCommand(QObject *parent) : QObject(parent) {}

AlertCommand::~AlertCommand()
{
    // Runs still going, their children included, are killed with their owner; their signals
    // no longer reach it. A run that has ended is left alone: its group id may be reused.
    const auto processes = findChildren<QProcess *>();
    for (QProcess *process : processes) {
        if (process->property("ended").toBool())
            continue;
        process->disconnect(this);
        ProcessGroup::kill(groupOf(process));
        process->kill();
        process->waitForFinished(1000);
    }
}

void AlertCommand::setCommandLine(const QString &commandLine)
{
    m_commandLine = commandLine.trimmed();
}

QStringList AlertCommand::environment(const AlertEvent &event)
{
    const QString time =
        event.time.toOffsetFromUtc(event.time.offsetFromUtc()).toString(Qt::ISODate);
    return {
        QStringLiteral("OSTRALINE_ALERT_STATE=") + AlertText::state(event.state),
        QStringLiteral("OSTRALINE_ALERT_CONDITION=") + AlertText::condition(event.condition),
        QStringLiteral("OSTRALINE_ALERT_INTERFACE=") + event.interfaceName,
        QStringLiteral("OSTRALINE_ALERT_ADDRESS=") + event.address,
        QStringLiteral("OSTRALINE_ALERT_IFINDEX=") + event.ifIndex,
        QStringLiteral("OSTRALINE_ALERT_VALUE=") + event.value,
        QStringLiteral("OSTRALINE_ALERT_TIME=") + time,
    };
}

void AlertCommand::run(const AlertEvent &event)
{
    if (m_commandLine.isEmpty())
        return;
    if (m_running < MaxRunning) {
        start(event);
        return;
    }
    if (m_queue.size() >= static_cast<std::size_t>(MaxQueued))
        m_queue.pop_front();
    m_queue.push_back(event);
}

void AlertCommand::start(const AlertEvent &event)
{
    QStringList words = QProcess::splitCommand(m_commandLine);
    if (words.isEmpty())
        return;
    auto *process = new QProcess(this);
    process->setProgram(words.takeFirst());
    process->setArguments(words);
    QProcessEnvironment env =
        ScrubbedEnvironment::scrubbed(QProcessEnvironment::systemEnvironment());
    for (const QString &pair : environment(event)) {
        const qsizetype at = pair.indexOf(QLatin1Char('='));
        env.insert(pair.left(at), pair.mid(at + 1));
    }
    process->setProcessEnvironment(env);
    // Output is not read: it goes nowhere, so a chatty command cannot fill a pipe and hang.
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    process->setStandardInputFile(QProcess::nullDevice());
    // The command and whatever it starts are one group: a run lasts until the whole group
    // has ended, so children left behind count against MaxRunning, and the time limit ends
    // them all.
    ProcessGroup::startInOwnGroup(*process);

    auto *limit = new QTimer(process);
    limit->setSingleShot(true);
    connect(limit, &QTimer::timeout, process, [this, process] {
        process->setProperty("killedAfterLimit", true);
        ProcessGroup::kill(groupOf(process));
        if (process->state() != QProcess::NotRunning) {
            process->kill(); // finished() follows
            return;
        }
        ended(process, QStringLiteral("left processes running; they were stopped after %1 s")
                           .arg(m_timeLimitMs / 1000.0));
    });
    auto *linger = new QTimer(process);
    linger->setInterval(LingerCheckMs);
    connect(linger, &QTimer::timeout, process, [this, process] {
        if (!ProcessGroup::alive(groupOf(process)))
            ended(process, process->property("failure").toString());
    });
    connect(process, &QProcess::started, this,
            [process] { process->setProperty("group", process->processId()); });
    connect(process, &QProcess::errorOccurred, this, [this, process](QProcess::ProcessError e) {
        if (e == QProcess::FailedToStart)
            ended(process, QStringLiteral("cannot be started: ") + process->errorString());
    });
    connect(process, &QProcess::finished, this,
            [this, process, linger](int code, QProcess::ExitStatus status) {
                const bool killed = process->property("killedAfterLimit").toBool();
                QString failure;
                if (killed)
                    failure = QStringLiteral("was stopped after %1 s").arg(m_timeLimitMs / 1000.0);
                else if (status == QProcess::CrashExit)
                    failure = QStringLiteral("crashed");
                else if (code != 0)
                    failure = QStringLiteral("ended with status %1").arg(code);
                if (!killed && ProcessGroup::alive(groupOf(process))) {
                    // The command is done but left processes behind: the run goes on until
                    // they end or the time limit ends them.
                    process->setProperty("failure", failure);
                    linger->start();
                    return;
                }
                ended(process, failure);
            });
    ++m_running;
    limit->start(m_timeLimitMs);
    process->start();
}

void AlertCommand::ended(QProcess *process, const QString &failure)
{
    if (process->property("ended").toBool())
        return; // a start failure may be followed by finished()
    process->setProperty("ended", true);
    const auto timers = process->findChildren<QTimer *>();
    for (QTimer *timer : timers)
        timer->stop();
    --m_running;
    process->deleteLater();
    if (failure.isEmpty()) {
        m_failureReported = false;
    } else if (!m_failureReported) {
        m_failureReported = true;
        Q_EMIT failed(QStringLiteral("Alert command \"%1\" %2").arg(process->program(), failure));
    }
    while (m_running < MaxRunning && !m_queue.empty()) {
        const AlertEvent next = m_queue.front();
        m_queue.pop_front();
        start(next);
    }
    Q_EMIT finished();
}
