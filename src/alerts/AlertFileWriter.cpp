#include "AlertFileWriter.h"

#include "AlertFile.h"

AlertFileWriter::AlertFileWriter(const QString &path, QObject *parent)
    : QObject(parent), m_path(path), m_context(new QObject), m_file(new AlertFile(path))
{
    m_thread.setObjectName(QStringLiteral("alerts file"));
    m_context->moveToThread(&m_thread);
    m_thread.start(QThread::LowPriority);
}

AlertFileWriter::~AlertFileWriter()
{
    // The quit is queued behind the writes already asked for, so they are all done first.
    QMetaObject::invokeMethod(
        m_context, [this] { m_thread.quit(); }, Qt::QueuedConnection);
    m_thread.wait();
    delete m_context;
    delete m_file;
}

void AlertFileWriter::append(const QList<AlertEvent> &events)
{
    if (events.isEmpty())
        return;
    AlertFile *file = m_file;
    QMetaObject::invokeMethod(
        m_context,
        [this, file, events] {
            QString error;
            const bool ok = file->append(events, &error);
            // Emitted from the file's thread: a receiver in another thread gets it queued.
            Q_EMIT written(ok, error);
        },
        Qt::QueuedConnection);
}
