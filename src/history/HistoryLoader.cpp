#include "HistoryLoader.h"

#include "HistoryFolder.h"

#include <QDateTime>
#include <QThread>

namespace
{

// Lives on the reading thread and sends each answer back through a queued connection, which
// Qt drops safely when the loader is gone before the answer arrives.
class Relay : public QObject
{
    Q_OBJECT

Q_SIGNALS:
    void answered(const HistoryAnswer &answer);
};

// How long a loader with a thread of its own waits for a read still running at its end.
constexpr int EndWaitMs = 5000;

} // namespace

HistoryLoader::HistoryLoader(QString folder, QObject *parent)
    : QObject(parent), m_folder(std::move(folder)), m_ownThread(new QThread)
{
    m_ownThread->setObjectName(QStringLiteral("history reader"));
    attach(m_ownThread);
    m_ownThread->start(QThread::LowPriority);
}

HistoryLoader::HistoryLoader(QString folder, QThread *thread, QObject *parent)
    : QObject(parent), m_folder(std::move(folder))
{
    attach(thread);
}

void HistoryLoader::attach(QThread *thread)
{
    qRegisterMetaType<HistoryAnswer>();
    auto *relay = new Relay;
    relay->moveToThread(thread);
    // When the thread ends first, the relay goes with it.
    connect(thread, &QThread::finished, relay, &QObject::deleteLater);
    connect(relay, &Relay::answered, this, &HistoryLoader::answered, Qt::QueuedConnection);
    m_reader = relay;
}

HistoryLoader::~HistoryLoader()
{
    if (m_reader)
        m_reader->deleteLater();
    if (!m_ownThread)
        return;
    m_ownThread->quit();
    if (m_ownThread->wait(QDeadlineTimer(EndWaitMs))) {
        delete m_ownThread;
    } else {
        // A read that hangs on the disk must not hold the caller: the thread is left to end
        // with the process.
        qWarning("History: a read did not finish within %d ms", EndWaitMs);
    }
}

quint64 HistoryLoader::ask(const HistoryQuery &query)
{
    const quint64 id = ++m_lastId;
    auto *relay = static_cast<Relay *>(m_reader.data());
    if (!relay)
        return id; // the reading thread has ended (the program is closing)
    QMetaObject::invokeMethod(relay, [relay, folder = m_folder, query, id] {
        HistoryAnswer answer = read(folder, query);
        answer.id = id;
        Q_EMIT relay->answered(answer);
    });
    return id;
}

HistoryAnswer HistoryLoader::read(const QString &folder, const HistoryQuery &query)
{
    HistoryAnswer answer;
    answer.query = query;
    if (query.listFiles)
        answer.files = HistoryReader::list(folder);
    answer.from = query.from;
    answer.to = query.to;
    if (!query.path.isEmpty())
        answer.newest = HistoryReader::lastUpdate(query.path);
    if (query.span > 0) {
        answer.to = answer.newest > 0 ? answer.newest : QDateTime::currentSecsSinceEpoch();
        answer.from = answer.to - query.span;
    }
    // An interface without a file yet has no history: that is no error to show.
    QString absent;
    if (!query.path.isEmpty() &&
        HistoryFolder::check(query.path, &absent) != HistoryFolder::FileState::Absent)
        answer.series = HistoryReader::fetch(query.path, answer.from, answer.to, &answer.error);
    return answer;
}

#include "HistoryLoader.moc"
