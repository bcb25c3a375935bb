#include "HistoryStore.h"

#include "ErrorReport.h"
#include "HistoryLoader.h"
#include "HistoryWriter.h"

#include <QCoreApplication>
#include <QMetaObject>

HistoryStore::HistoryStore(const QString &folder, QObject *parent)
    : HistoryStore(std::make_unique<HistoryWriter>(folder), parent)
{
}

HistoryStore::HistoryStore(std::unique_ptr<HistoryWriter> writer, QObject *parent)
    : QObject(parent), m_folder(writer->folder()), m_thread(new QThread),
      m_writer(std::move(writer))
{
    qRegisterMetaType<PollResult>();
    m_thread->setObjectName(QStringLiteral("history writer"));
    m_worker = new QObject;
    m_worker->moveToThread(m_thread);
    connect(m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    m_loader = new HistoryLoader(m_folder, m_thread, this);
    m_thread->start(QThread::LowPriority);
}

HistoryStore::~HistoryStore()
{
    // Polls already handed over are still written: the thread ends after the last of them.
    QThread *thread = m_thread;
    QMetaObject::invokeMethod(m_worker, [thread] { thread->quit(); });
    if (m_thread->wait(QDeadlineTimer(ExitWaitMs))) {
        delete m_thread;
    } else {
        // A hung disk must not hold the program's exit for ever: the thread and its writer
        // are left running, and the end of the process takes them down.
        qWarning("History: the writer did not finish within %d ms; unwritten polls are lost",
                 ExitWaitMs);
        (void)m_writer.release();
    }
}

void HistoryStore::onPollFinished(const PollResult &result)
{
    if (!m_enabled)
        return;
    if (m_pending >= MaxPending) {
        const QString reason =
            QStringLiteral("History: the disk has not taken the last %1 polls; the poll of %2 "
                           "is not kept.")
                .arg(m_pending)
                .arg(result.time.toString(Qt::ISODate));
        ErrorReport::show(reason, FailureSource.toString());
        Q_EMIT written(result, {reason});
        return;
    }
    ++m_pending;
    HistoryWriter *writer = m_writer.get();
    QMetaObject::invokeMethod(m_worker, [this, writer, result] {
        const QStringList failures = writer->write(result);
        const QStringList notices = writer->takeNotices();
        QMetaObject::invokeMethod(
            this,
            [this, result, failures, notices] {
                for (const QString &notice : notices)
                    ErrorReport::show(notice);
                finished(result, failures);
            },
            Qt::QueuedConnection);
    });
}

void HistoryStore::flush()
{
    QMetaObject::invokeMethod(
        m_worker, [] {}, Qt::BlockingQueuedConnection);
    // The reports of the written polls are queued back to this thread: deliver them now.
    QCoreApplication::sendPostedEvents(this);
}

void HistoryStore::finished(const PollResult &result, const QStringList &failures)
{
    --m_pending;
    const QString source = FailureSource.toString();
    if (failures.isEmpty())
        ErrorReport::recovered(source);
    else
        ErrorReport::show(failures.join(QLatin1Char('\n')), source);
    Q_EMIT written(result, failures);
}
