#include "serial/ComPorts.h"

namespace ComPorts {

QList<PortEntry> numbered(const QList<PortEntry> &listed)
{
    QList<PortEntry> entries;
    entries.reserve(kMaxPortNumber);
    for (int n = 1; n <= kMaxPortNumber; ++n)
        entries.append({QStringLiteral("COM%1").arg(n), QString()});
    for (const PortEntry &port : listed) {
        if (!port.location.startsWith(QLatin1String("COM"), Qt::CaseInsensitive))
            continue;
        const QStringView digits = QStringView(port.location).mid(3);
        bool ok = false;
        const int n = digits.toInt(&ok);
        // "COM05" or "COM+5" is not how Windows names port 5.
        if (ok && n >= 1 && n <= kMaxPortNumber && digits == QString::number(n))
            entries[n - 1].description = port.description;
    }
    return entries;
}

} // namespace ComPorts
