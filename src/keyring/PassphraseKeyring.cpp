#include "PassphraseKeyring.h"

#include "AgentProfileFile.h"

#include <QDir>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <memory>
#include <qt6keychain/keychain.h>

namespace
{

// The errors that mean "no keyring here", as opposed to "no such entry".
bool noKeyring(QKeychain::Error error)
{
    return error == QKeychain::NoBackendAvailable || error == QKeychain::NotImplemented ||
           error == QKeychain::OtherError || error == QKeychain::AccessDenied ||
           error == QKeychain::AccessDeniedByUser;
}

const QString ProbeKey = QStringLiteral("(probe)");

} // namespace

PassphraseKeyring &PassphraseKeyring::shared()
{
    static PassphraseKeyring keyring(QStringLiteral("Ostraline SNMP v3 passphrases"));
    return keyring;
}

PassphraseKeyring::PassphraseKeyring(const QString &service, QObject *parent)
    : QObject(parent), m_service(service)
{
}

QString PassphraseKeyring::storeDescription(const QString &profilePath) const
{
    switch (m_state) {
    case State::Available:
        return QStringLiteral("Passphrases are kept in the desktop's keyring.");
    case State::Unavailable:
        return QStringLiteral("No keyring answered: passphrases are kept in %1, readable by you "
                              "only.")
            .arg(QDir::toNativeSeparators(profilePath));
    case State::Unknown:
        break;
    }
    return QStringLiteral("Asking the desktop's keyring; until it answers, passphrases are kept "
                          "in %1, readable by you only.")
        .arg(QDir::toNativeSeparators(profilePath));
}

void PassphraseKeyring::setState(State state)
{
    if (state == m_state)
        return;
    m_state = state;
    Q_EMIT stateChanged(state);
}

void PassphraseKeyring::probe()
{
    auto *job = new QKeychain::ReadPasswordJob(m_service, this);
    job->setKey(ProbeKey);
    connect(job, &QKeychain::Job::finished, this, [this](QKeychain::Job *done) {
        setState(noKeyring(done->error()) ? State::Unavailable : State::Available);
    });
    job->start();
}

bool PassphraseKeyring::lacksPassphrases(const AgentProfile &profile)
{
    if (profile.version != AgentProfile::Version::V3)
        return false;
    const SnmpSecurity &s = profile.security;
    return (s.level != SnmpSecurity::Level::NoAuthNoPriv && s.authPassphrase.isEmpty()) ||
           (s.level == SnmpSecurity::Level::AuthPriv && s.privPassphrase.isEmpty());
}

QStringList PassphraseKeyring::fillIn(AgentProfiles *profiles) const
{
    QStringList missing;
    for (AgentProfile profile : profiles->all()) {
        if (!lacksPassphrases(profile))
            continue;
        const auto known = m_known.constFind(profile.address);
        if (known == m_known.cend()) {
            missing << profile.address;
            continue;
        }
        if (profile.security.authPassphrase.isEmpty())
            profile.security.authPassphrase = known->first;
        if (profile.security.privPassphrase.isEmpty())
            profile.security.privPassphrase = known->second;
        profiles->set(profile);
    }
    return missing;
}

int PassphraseKeyring::retrySeconds(int failures)
{
    constexpr int First = 30;
    constexpr int Longest = 600;
    int wait = First;
    for (int i = 1; i < failures && wait < Longest; ++i)
        wait *= 2;
    return std::min(wait, Longest);
}

void PassphraseKeyring::read(const QStringList &addresses)
{
    for (const QString &address : addresses) {
        if (m_known.contains(address) || m_reading.contains(address))
            continue;
        // Asked for now: a try that was waiting is made at once instead.
        delete m_retries.take(address);
        readNow(address);
    }
}

void PassphraseKeyring::readNow(const QString &address)
{
    m_reading.insert(address);
    auto *job = new QKeychain::ReadPasswordJob(m_service, this);
    job->setKey(address);
    connect(job, &QKeychain::Job::finished, this,
            [this, address](QKeychain::Job *done) { readFinished(address, done); });
    job->start();
}

void PassphraseKeyring::readFinished(const QString &address, QKeychain::Job *done)
{
    m_reading.remove(address);
    const auto *reader = static_cast<QKeychain::ReadPasswordJob *>(done);
    Pair pair;
    if (done->error() == QKeychain::NoError && decode(reader->binaryData(), &pair)) {
        m_failures.remove(address);
        setState(State::Available);
        m_known.insert(address, pair);
        Q_EMIT passphrasesRead(address);
        return;
    }
    if (noKeyring(done->error()))
        setState(State::Unavailable);
    else if (done->error() == QKeychain::EntryNotFound)
        setState(State::Available);
    if (done->error() == QKeychain::EntryNotFound) {
        m_failures.remove(address);
        Q_EMIT readFailed(address,
                          QStringLiteral("The keyring holds no passphrases for %1.").arg(address));
        return;
    }
    QString reason = QStringLiteral("The passphrases for %1 could not be read from the keyring: %2")
                         .arg(address, done->errorString());
    // A refusal by the operator is not asked again unprompted; anything else may pass.
    const bool retry = done->error() != QKeychain::AccessDeniedByUser &&
                       done->error() != QKeychain::NotImplemented &&
                       done->error() != QKeychain::NoError;
    if (retry) {
        const int seconds = retrySeconds(++m_failures[address]);
        if (!reason.endsWith(u'.'))
            reason += u'.';
        reason += seconds < 60 ? QStringLiteral(" Trying again in %1 s.").arg(seconds)
                               : QStringLiteral(" Trying again in %1 min.").arg(seconds / 60);
        auto *timer = new QTimer(this);
        timer->setSingleShot(true);
        connect(timer, &QTimer::timeout, this, [this, address, timer] {
            m_retries.remove(address);
            timer->deleteLater();
            if (!m_known.contains(address) && !m_reading.contains(address))
                readNow(address);
        });
        delete m_retries.take(address);
        m_retries.insert(address, timer);
        timer->start(m_retrySecond * seconds);
    }
    Q_EMIT readFailed(address, reason);
}

void PassphraseKeyring::store(const QString &path, const AgentProfiles &saved,
                              const QStringList &removed)
{
    for (const QString &address : removed) {
        m_known.remove(address);
        m_failures.remove(address);
        delete m_retries.take(address);
        auto *job = new QKeychain::DeletePasswordJob(m_service, this);
        job->setKey(address);
        job->start();
    }
    QMap<QString, Pair> toWrite;
    for (const AgentProfile &profile : saved.all()) {
        const SnmpSecurity &s = profile.security;
        if (profile.version == AgentProfile::Version::V3 &&
            (!s.authPassphrase.isEmpty() || !s.privPassphrase.isEmpty()))
            toWrite.insert(profile.address, {s.authPassphrase, s.privPassphrase});
    }
    if (toWrite.isEmpty() || m_state == State::Unavailable) {
        Q_EMIT stored(toWrite.isEmpty() && m_state == State::Available);
        return;
    }
    // Every write reports to one shared tally; the last one decides.
    struct Tally {
        int open = 0;
        bool allStored = true;
        QString failure; // the first failed write's reason
    };
    auto tally = std::make_shared<Tally>();
    tally->open = int(toWrite.size());
    for (auto it = toWrite.cbegin(); it != toWrite.cend(); ++it) {
        auto *job = new QKeychain::WritePasswordJob(m_service, this);
        job->setKey(it.key());
        job->setBinaryData(encode(it.value()));
        connect(job, &QKeychain::Job::finished, this,
                [this, tally, path, toWrite](QKeychain::Job *done) {
                    if (done->error() != QKeychain::NoError) {
                        tally->allStored = false;
                        if (tally->failure.isEmpty())
                            tally->failure = done->errorString();
                        if (noKeyring(done->error()))
                            setState(State::Unavailable);
                    }
                    if (--tally->open == 0)
                        finishStore(path, toWrite, tally->allStored, tally->failure);
                });
        job->start();
    }
}

void PassphraseKeyring::finishStore(const QString &path, const QMap<QString, Pair> &written,
                                    bool allStored, const QString &failure)
{
    if (!allStored) {
        Q_EMIT storeFailed(failure);
        Q_EMIT stored(false);
        return;
    }
    setState(State::Available);
    for (auto it = written.cbegin(); it != written.cend(); ++it)
        m_known.insert(it.key(), it.value());
    // The file as it is now (another save may have come meanwhile): only passphrases equal to
    // those the keyring now holds leave it.
    AgentProfiles current;
    QString error;
    if (!AgentProfileFile::load(path, &current, &error)) {
        Q_EMIT stored(false);
        return;
    }
    bool changed = false;
    for (AgentProfile profile : current.all()) {
        const auto held = written.constFind(profile.address);
        if (held == written.cend() || profile.version != AgentProfile::Version::V3)
            continue;
        if (profile.security.authPassphrase == held->first &&
            profile.security.privPassphrase == held->second) {
            profile.security.authPassphrase.clear();
            profile.security.privPassphrase.clear();
            current.set(profile);
            changed = true;
        }
    }
    const bool ok = !changed || AgentProfileFile::save(path, current, &error);
    Q_EMIT stored(ok);
}

QByteArray PassphraseKeyring::encode(const Pair &pair)
{
    return pair.first.toPercentEncoding() + '\n' + pair.second.toPercentEncoding();
}

bool PassphraseKeyring::decode(const QByteArray &bytes, Pair *pair)
{
    const qsizetype split = bytes.indexOf('\n');
    if (split < 0)
        return false;
    pair->first = QByteArray::fromPercentEncoding(bytes.left(split));
    pair->second = QByteArray::fromPercentEncoding(bytes.mid(split + 1));
    return true;
}
