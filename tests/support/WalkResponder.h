#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QMap>
#include <QObject>
#include <QString>

class QUdpSocket;

// A test-only SNMP agent on a loopback UDP port that serves a fixed table of values to Get,
// GetNext and GetBulk (v1 and v2c, answering in the request's version) and can turn hostile
// after a number of correct answers: repeat the requested OID, go backwards, or send bytes
// that are no SNMP message.
class WalkResponder : public QObject
{
    Q_OBJECT

public:
    enum class Fault {
        None,
        SameOid,       // the next answer carries the requested OID again
        DecreasingOid, // ... an OID before the requested one
        Garbage,       // ... bytes that are no BER message
        Silent,        // no more answers
        OtherPort,     // correct answers, but sent from another port of 127.0.0.1
        OtherAddress,  // correct answers, but sent from 127.0.0.2
    };

    explicit WalkResponder(QObject *parent = nullptr);
    ~WalkResponder() override;

    bool listen();
    QString host() const;

    // A value: its BER tag and its encoded content.
    void setInteger(const QList<quint32> &oid, qint64 value);
    void setGauge(const QList<quint32> &oid, quint32 value);
    void setCounter64(const QList<quint32> &oid, quint64 value);
    void setString(const QList<quint32> &oid, const QByteArray &value);

    // From the (after + 1)-th answer on, answers are hostile.
    void setFault(Fault fault, int after = 0)
    {
        m_fault = fault;
        m_faultAfter = after;
    }
    // Answers only v1 messages (v2c requests are ignored).
    void setV1Only(bool on) { m_v1Only = on; }

    int requestsSeen() const { return m_requests; }

private:
    void readPending();
    QByteArray answer(const QByteArray &datagram);

    QUdpSocket *m_socket = nullptr;
    QUdpSocket *m_forger = nullptr;
    QMap<QList<quint32>, QByteArray> m_values; // OID -> encoded value (TLV)
    Fault m_fault = Fault::None;
    int m_faultAfter = 0;
    int m_answers = 0;
    int m_requests = 0;
    bool m_v1Only = false;
};
