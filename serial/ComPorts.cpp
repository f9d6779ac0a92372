#include "serial/ComPorts.h"

#include <QRegularExpression>

namespace ComPorts {

std::optional<int> numberOf(QStringView name)
{
    if (!name.startsWith(QLatin1String("COM"), Qt::CaseInsensitive))
        return std::nullopt;
    const QStringView digits = name.mid(3);
    bool ok = false;
    const int n = digits.toInt(&ok);
    // "COM05" or "COM+5" is not how Windows names port 5.
    if (!ok || n < 1 || digits != QString::number(n))
        return std::nullopt;
    return n;
}

QList<PortEntry> numbered(const QList<PortEntry> &listed)
{
    QList<PortEntry> entries;
    entries.reserve(kMaxPortNumber);
    for (int n = 1; n <= kMaxPortNumber; ++n)
        entries.append({QStringLiteral("COM%1").arg(n), QString()});
    for (const PortEntry &port : listed) {
        const std::optional<int> n = numberOf(port.location);
        if (n && *n <= kMaxPortNumber)
            entries[*n - 1].description = port.description;
    }
    return entries;
}

void readDeviceIds(PortEntry &entry, const QStringList &ids)
{
    static const QRegularExpression usbIds(QStringLiteral("VID_([0-9A-F]{4})[&+]PID_([0-9A-F]{4})"),
                                           QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression serial(
        QStringLiteral("^USB\\\\VID_[0-9A-F]{4}&PID_[0-9A-F]{4}\\\\([^\\\\&]+)$"),
        QRegularExpression::CaseInsensitiveOption);
    bool haveIds = false;
    for (const QString &id : ids) {
        if (const QRegularExpressionMatch m = usbIds.match(id); !haveIds && m.hasMatch()) {
            entry.vendorId = quint16(m.captured(1).toUInt(nullptr, 16));
            entry.productId = quint16(m.captured(2).toUInt(nullptr, 16));
            haveIds = true;
        }
        if (const QRegularExpressionMatch m = serial.match(id);
            entry.serialNumber.isEmpty() && m.hasMatch())
            entry.serialNumber = m.captured(1);
    }
}

} // namespace ComPorts
