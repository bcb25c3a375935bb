#include "WalkResponder.h"

#include "Ber.h"

#include <QNetworkDatagram>
#include <QUdpSocket>

namespace
{

constexpr unsigned char GetNextRequest = 0xa1;
constexpr unsigned char GetBulkRequest = 0xa5;
constexpr unsigned char NoSuchObject = 0x80;
constexpr unsigned char EndOfMibView = 0x82;

QByteArray response(qint64 version, const QByteArray &community, qint64 requestId, qint64 status,
                    qint64 index, const QList<QByteArray> &bindings)
{
    QByteArray list;
    for (const QByteArray &b : bindings)
        list += b;
    const QByteArray pdu =
        Ber::tlv(Ber::GetResponse, Ber::integer(requestId) + Ber::integer(status) +
                                       Ber::integer(index) + Ber::tlv(Ber::Sequence, list));
    return Ber::tlv(Ber::Sequence,
                    Ber::integer(version) + Ber::tlv(Ber::OctetString, community) + pdu);
}

} // namespace

WalkResponder::WalkResponder(QObject *parent) : QObject(parent), m_socket(new QUdpSocket(this))
{
    connect(m_socket, &QUdpSocket::readyRead, this, &WalkResponder::readPending);
}

WalkResponder::~WalkResponder() = default;

bool WalkResponder::listen()
{
    return m_socket->bind(QHostAddress(QHostAddress::LocalHost), 0);
}

QString WalkResponder::host() const
{
    return "127.0.0.1:" + QString::number(m_socket->localPort());
}

void WalkResponder::setInteger(const QList<quint32> &oid, qint64 value)
{
    m_values[oid] = Ber::integer(value);
}

void WalkResponder::setGauge(const QList<quint32> &oid, quint32 value)
{
    m_values[oid] = Ber::unsignedValue(value, Ber::Gauge32);
}

void WalkResponder::setCounter64(const QList<quint32> &oid, quint64 value)
{
    m_values[oid] = Ber::unsignedValue(value, Ber::Counter64);
}

void WalkResponder::setString(const QList<quint32> &oid, const QByteArray &value)
{
    m_values[oid] = Ber::tlv(Ber::OctetString, value);
}

void WalkResponder::readPending()
{
    while (m_socket->hasPendingDatagrams()) {
        const QNetworkDatagram request = m_socket->receiveDatagram();
        ++m_requests;
        const QByteArray reply = answer(request.data());
        if (reply.isNull())
            continue;
        QUdpSocket *from = m_socket;
        if (m_fault == Fault::OtherPort || m_fault == Fault::OtherAddress) {
            if (!m_forger) {
                m_forger = new QUdpSocket(this);
                m_forger->bind(
                    QHostAddress(m_fault == Fault::OtherPort ? "127.0.0.1" : "127.0.0.2"), 0);
            }
            from = m_forger;
        }
        from->writeDatagram(reply, request.senderAddress(),
                            static_cast<quint16>(request.senderPort()));
    }
}

QByteArray WalkResponder::answer(const QByteArray &datagram)
{
    const std::optional<Ber::Request> request = Ber::parseRequest(datagram);
    if (!request || (m_v1Only && request->version != 0))
        return QByteArray();
    const bool v1 = request->version == 0;
    const QList<quint32> &asked = request->oid;
    const auto reply = [&](const QList<QByteArray> &bindings, qint64 status = 0, qint64 index = 0) {
        return response(request->version, request->community, request->requestId, status, index,
                        bindings);
    };

    if (m_fault != Fault::None && m_answers >= m_faultAfter) {
        switch (m_fault) {
        case Fault::SameOid:
            return reply({Ber::binding(Ber::objectId(asked), Ber::integer(1))});
        case Fault::DecreasingOid: {
            QList<quint32> before = asked;
            if (before.last() > 0)
                before.last() -= 1;
            else
                before.removeLast();
            return reply({Ber::binding(Ber::objectId(before), Ber::integer(1))});
        }
        case Fault::Garbage:
            return QByteArray::fromHex("30ff02deadbeef0104a2cafe");
        case Fault::Silent:
            return QByteArray();
        case Fault::OtherPort:
        case Fault::OtherAddress:
        case Fault::None:
            break;
        }
    }
    ++m_answers;

    if (request->pduTag == Ber::GetRequest) {
        const auto it = m_values.constFind(asked);
        if (it != m_values.cend())
            return reply({Ber::binding(Ber::objectId(asked), *it)});
        if (v1)
            return reply({Ber::binding(Ber::objectId(asked), Ber::tlv(Ber::Null, {}))}, 2, 1);
        return reply({Ber::binding(Ber::objectId(asked), Ber::tlv(NoSuchObject, {}))});
    }
    if (request->pduTag != GetNextRequest && request->pduTag != GetBulkRequest)
        return QByteArray();

    const int count = request->pduTag == GetBulkRequest ? 5 : 1;
    QList<QByteArray> bindings;
    auto it = m_values.upperBound(asked);
    for (int i = 0; i < count; ++i, ++it) {
        if (it == m_values.cend()) {
            if (v1 && bindings.isEmpty())
                return reply({Ber::binding(Ber::objectId(asked), Ber::tlv(Ber::Null, {}))}, 2, 1);
            if (!v1) {
                const QList<quint32> last = bindings.isEmpty() ? asked : std::prev(it).key();
                bindings.append(Ber::binding(Ber::objectId(last), Ber::tlv(EndOfMibView, {})));
            }
            break;
        }
        bindings.append(Ber::binding(Ber::objectId(it.key()), it.value()));
    }
    return reply(bindings);
}
