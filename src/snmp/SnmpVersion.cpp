#include "SnmpVersion.h"

#include <array>
#include <utility>

namespace
{

const std::array<std::pair<SnmpVersion, const char16_t *>, 4> Texts = {{
    {SnmpVersion::Auto, u"auto"},
    {SnmpVersion::V1, u"1"},
    {SnmpVersion::V2c, u"2c"},
    {SnmpVersion::V3, u"3"},
}};

} // namespace

QString snmpVersionText(SnmpVersion version)
{
    for (const auto &[v, text] : Texts) {
        if (v == version)
            return QString::fromUtf16(text);
    }
    return QString();
}

std::optional<SnmpVersion> parseSnmpVersion(const QString &text, Qt::CaseSensitivity cs)
{
    for (const auto &[v, name] : Texts) {
        if (text.compare(QString::fromUtf16(name), cs) == 0)
            return v;
    }
    return std::nullopt;
}
