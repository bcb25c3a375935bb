#pragma once

#include "AgentProfile.h"

#include <QByteArray>
#include <QHash>
#include <QMap>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

#include <chrono>
#include <utility>

class QTimer;
namespace QKeychain
{
class Job;
}

// Where the SNMP v3 passphrases of the agent profiles are kept. When the desktop's keyring
// answers, one entry per agent address holds both passphrases and the profile file holds
// everything else; where none answers, the profile file (mode 0600) keeps them as before.
// Every keyring call is an asynchronous job: nothing here waits.
//
// A profile file with passphrases moves them into the keyring at the next store(): once the
// keyring has every one, they are taken out of the file. A v3 profile of the file without the
// passphrases its level needs has them in the keyring; read() fetches them, fillIn() puts them
// into a profile list. A read that fails for any reason but a missing entry or the operator's
// refusal (a keyring that timed out, was not up yet, or was locked) is tried again by itself:
// 30 seconds later, then after twice the wait each time, up to 10 minutes between tries.
class PassphraseKeyring : public QObject
{
    Q_OBJECT

public:
    enum class State {
        Unknown,     // nothing asked yet, or the first answer still awaited
        Available,   // the keyring answered
        Unavailable, // no keyring answered: the profile file keeps the passphrases
    };

    // The program's one keyring, named by the service "Ostraline SNMP v3 passphrases".
    static PassphraseKeyring &shared();

    explicit PassphraseKeyring(const QString &service, QObject *parent = nullptr);

    State state() const { return m_state; }
    // Where the passphrases are kept, in a sentence for the Agents dialog.
    QString storeDescription(const QString &profilePath) const;

    // Asks the keyring once whether it answers (state() follows).
    void probe();

    // Whether a v3 profile lacks a passphrase its security level needs.
    static bool lacksPassphrases(const AgentProfile &profile);

    // Puts the passphrases read so far into the v3 profiles that lack them; returns the
    // addresses still lacking them.
    QStringList fillIn(AgentProfiles *profiles) const;
    // Starts reading the passphrases of these addresses (unless already read or under way).
    void read(const QStringList &addresses);
    // Addresses whose read is under way.
    QStringList pending() const { return m_reading.values(); }

    // The wait in seconds before the next try after the given number of failed reads in a
    // row: 30, 60, 120, ... up to 600.
    static int retrySeconds(int failures);
    // How long one second of those waits lasts (tests shorten it); by default a second.
    void setRetrySecond(std::chrono::milliseconds second) { m_retrySecond = second; }

    // After the profile file at path was saved with saved: stores their passphrases in the
    // keyring and, once it holds every one, takes them out of the file; forgets the entries
    // of removed addresses. Where the keyring fails, the file keeps them.
    void store(const QString &path, const AgentProfiles &saved, const QStringList &removed = {});

Q_SIGNALS:
    void stateChanged(PassphraseKeyring::State state);
    // The passphrases of address were read; fillIn() now supplies them.
    void passphrasesRead(const QString &address);
    // The passphrases of address could not be read: the reason in words, with when the read
    // is tried again where it is.
    void readFailed(const QString &address, const QString &reason);
    // A store() ended: inKeyring when the passphrases went into the keyring and out of the
    // file, false when the file keeps them.
    void stored(bool inKeyring);
    // Just before stored(false) of a store() whose keyring writes failed: the keyring's
    // reason, once for the whole store.
    void storeFailed(const QString &reason);

private:
    using Pair = std::pair<QByteArray, QByteArray>; // authentication, privacy
    static QByteArray encode(const Pair &pair);
    static bool decode(const QByteArray &bytes, Pair *pair);
    void setState(State state);
    void readNow(const QString &address);
    void readFinished(const QString &address, QKeychain::Job *done);
    void finishStore(const QString &path, const QMap<QString, Pair> &written, bool allStored,
                     const QString &failure);

    QString m_service;
    State m_state = State::Unknown;
    QMap<QString, Pair> m_known; // read or stored this run
    QSet<QString> m_reading;
    QHash<QString, int> m_failures;     // failed reads in a row, per address
    QHash<QString, QTimer *> m_retries; // the next try, per address
    std::chrono::milliseconds m_retrySecond{1000};
};
