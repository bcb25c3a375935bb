#include "HostileAgent.h"

#include "Ber.h"

#include <QNetworkDatagram>
#include <QTimer>
#include <QUdpSocket>

HostileAgent::HostileAgent(QObject *parent) : QObject(parent), m_socket(new QUdpSocket(this))
{
    connect(m_socket, &QUdpSocket::readyRead, this, &HostileAgent::readPending);
}

HostileAgent::~HostileAgent() = default;

bool HostileAgent::listen(const QHostAddress &address)
{
    if (!address.isLoopback())
        return false; // test traffic stays on the loopback interface
    return m_socket->bind(address, 0);
}

bool HostileAgent::addForger(const QHostAddress &address, qint64 forgedValue)
{
    if (!address.isLoopback())
        return false;
    auto *socket = new QUdpSocket(this);
    if (!socket->bind(address, 0)) {
        delete socket;
        return false;
    }
    m_forgers.append({socket, forgedValue});
    return true;
}

quint16 HostileAgent::port() const
{
    return m_socket->localPort();
}

QString HostileAgent::host() const
{
    const QHostAddress address = m_socket->localAddress();
    const QString port = QString::number(m_socket->localPort());
    if (address.protocol() == QAbstractSocket::IPv6Protocol)
        return "[" + address.toString() + "]:" + port;
    return address.toString() + ":" + port;
}

void HostileAgent::readPending()
{
    while (m_socket->hasPendingDatagrams()) {
        const QNetworkDatagram request = m_socket->receiveDatagram();
        ++m_requests;
        const QHostAddress to = request.senderAddress();
        const quint16 port = static_cast<quint16>(request.senderPort());
        for (const auto &[forger, forgedValue] : std::as_const(m_forgers)) {
            const qint64 ownValue = std::exchange(m_value, forgedValue);
            const QByteArray forged = craft(request.data());
            m_value = ownValue;
            if (!forged.isNull())
                forger->writeDatagram(forged, to, port);
        }
        const QByteArray reply = craft(request.data());
        if (reply.isNull())
            continue;
        if (m_delayMs <= 0) {
            m_socket->writeDatagram(reply, to, port);
        } else {
            QTimer::singleShot(m_delayMs, Qt::PreciseTimer, this, [this, reply, to, port] {
                m_socket->writeDatagram(reply, to, port);
            });
        }
    }
}

QByteArray HostileAgent::craft(const QByteArray &datagram)
{
    const std::optional<Ber::Request> request = Ber::parseRequest(datagram);
    if (!request)
        return QByteArray();
    m_lastCommunity = request->community;
    m_lastRequestId = request->requestId;

    const QByteArray &oid = request->encodedOid;
    QList<quint32> otherParts = request->oid;
    if (!otherParts.isEmpty())
        otherParts.last() += 1;
    const QByteArray otherOid = Ber::objectId(otherParts);
    const QByteArray counter = Ber::unsignedValue(quint64(m_value), Ber::Counter32);
    const QByteArray null = Ber::tlv(Ber::Null, {});
    auto reply = [&](const QList<QByteArray> &bindings, qint64 requestId = -1, qint64 status = 0,
                     qint64 index = 0) {
        return Ber::message(request->community, Ber::GetResponse,
                            requestId < 0 ? request->requestId : requestId, status, index, bindings,
                            request->version);
    };

    switch (m_reply) {
    case Reply::Correct:
        return reply({Ber::binding(oid, counter)});
    case Reply::Integer:
        return reply({Ber::binding(oid, Ber::integer(m_value))});
    case Reply::Gauge:
        return reply({Ber::binding(oid, Ber::unsignedValue(quint64(m_value), Ber::Gauge32))});
    case Reply::TimeTicks:
        return reply({Ber::binding(oid, Ber::unsignedValue(quint64(m_value), Ber::TimeTicks))});
    case Reply::OtherOid:
        return reply({Ber::binding(otherOid, counter)});
    case Reply::SecondBinding:
        return reply({Ber::binding(otherOid, Ber::unsignedValue(7, Ber::Counter32)),
                      Ber::binding(oid, counter)});
    case Reply::OctetString:
        return reply({Ber::binding(oid, Ber::tlv(Ber::OctetString, "12345"))});
    case Reply::ObjectId:
        return reply({Ber::binding(oid, Ber::objectId({1, 3, 6, 1}))});
    case Reply::Counter64:
        return reply({Ber::binding(oid, Ber::unsignedValue(quint64(m_value), Ber::Counter64))});
    case Reply::Null:
        return reply({Ber::binding(oid, null)});
    case Reply::ErrorStatus:
        return reply({Ber::binding(oid, null)}, -1, 2, 1);
    case Reply::ErrorWithValue:
        return reply({Ber::binding(oid, counter)}, -1, 5, 1);
    case Reply::WrongRequestId:
        return reply({Ber::binding(oid, counter)}, request->requestId + 1);
    case Reply::Truncated:
        return reply({Ber::binding(oid, counter)}).chopped(3);
    case Reply::Garbage:
        return QByteArray::fromHex("30ff02deadbeef0104a2cafe");
    case Reply::Empty:
        return QByteArray("");
    case Reply::NoSuchObject:
        return reply({Ber::binding(oid, Ber::tlv(Ber::NoSuchObject, {}))});
    case Reply::NoSuchInstance:
        return reply({Ber::binding(oid, Ber::tlv(Ber::NoSuchInstance, {}))});
    case Reply::EndOfMibView:
        return reply({Ber::binding(oid, Ber::tlv(Ber::EndOfMibView, {}))});
    case Reply::Silent:
        break;
    }
    return QByteArray();
}
