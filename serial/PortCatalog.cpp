#include "serial/PortCatalog.h"

#include <QSerialPortInfo>

#include <algorithm>
#include <tuple>

PortCatalog::~PortCatalog() = default;

namespace {

struct NameKey
{
    QString stem;
    qulonglong number = 0;
    bool hasNumber = false;
};

NameKey nameKey(const QString &location)
{
    const QString name = location.mid(location.lastIndexOf(QLatin1Char('/')) + 1);
    qsizetype digitsFrom = name.size();
    while (digitsFrom > 0 && name.at(digitsFrom - 1).isDigit())
        --digitsFrom;
    NameKey key{name.left(digitsFrom), 0, false};
    const QStringView digits = QStringView(name).mid(digitsFrom).right(18); // fits 64 bits
    if (!digits.isEmpty())
        key.number = digits.toULongLong(&key.hasNumber);
    return key;
}

} // namespace

QList<PortEntry> naturalPortOrder(QList<PortEntry> entries)
{
    std::stable_sort(entries.begin(), entries.end(), [](const PortEntry &a, const PortEntry &b) {
        const NameKey ka = nameKey(a.location);
        const NameKey kb = nameKey(b.location);
        const int byStem = ka.stem.compare(kb.stem);
        if (byStem != 0)
            return byStem < 0;
        return std::tie(ka.hasNumber, ka.number, a.location) <
               std::tie(kb.hasNumber, kb.number, b.location);
    });
    if (entries.size() > kMaxPortNumber)
        entries.resize(kMaxPortNumber);
    return entries;
}

QList<PortEntry> SystemPortCatalog::devices() const
{
#ifdef Q_OS_WIN
    // Port numbers are the system's own COM numbers there.
    QList<PortEntry> entries;
    entries.reserve(kMaxPortNumber);
    for (int n = 1; n <= kMaxPortNumber; ++n)
        entries.append({QStringLiteral("COM%1").arg(n), QString()});
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
        const QString name = info.portName();
        if (!name.startsWith(QLatin1String("COM"), Qt::CaseInsensitive))
            continue;
        bool ok = false;
        const int n = name.mid(3).toInt(&ok);
        if (ok && n >= 1 && n <= kMaxPortNumber)
            entries[n - 1].description = info.description();
    }
    return entries;
#else
    QList<PortEntry> entries;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        entries.append({info.systemLocation(), info.description()});
    return naturalPortOrder(std::move(entries));
#endif
}
