#include "serial/PortCatalog.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

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

QString PortEntry::vidPid() const
{
    if (vendorId == 0 && productId == 0)
        return {};
    return QStringLiteral("%1:%2")
        .arg(vendorId, 4, 16, QLatin1Char('0'))
        .arg(productId, 4, 16, QLatin1Char('0'));
}

bool PortEntry::samePlugIn(const PortEntry &other) const
{
    const bool serialsDiffer = !serialNumber.isEmpty() && !other.serialNumber.isEmpty() &&
                               serialNumber != other.serialNumber;
    return location == other.location && plugIn == other.plugIn && !serialsDiffer;
}

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

QList<ScannedPort> PortNumbering::number(const QList<PortEntry> &present)
{
    QList<ScannedPort> numbered;
    for (const PortEntry &device : present) {
        const QString name = device.stableName();
        auto known = m_numbers.constFind(name);
        if (known == m_numbers.cend()) {
            if (m_lastGiven == kMaxPortNumber)
                continue;
            known = m_numbers.insert(name, ++m_lastGiven);
        }
        numbered.append({*known, device});
    }
    std::sort(numbered.begin(), numbered.end(),
              [](const ScannedPort &a, const ScannedPort &b) { return a.number < b.number; });
    // One device listed twice (two names for one path) keeps one number.
    numbered.erase(std::unique(numbered.begin(), numbered.end(),
                               [](const ScannedPort &a, const ScannedPort &b) {
                                   return a.number == b.number;
                               }),
                   numbered.end());
    return numbered;
}

QString portToolTip(const PortEntry &device)
{
    QStringList lines{device.location};
    if (!device.byId.isEmpty())
        lines << device.byId;
    QString usb = device.description;
    if (!device.serialNumber.isEmpty()) {
        usb += (usb.isEmpty() ? QStringLiteral("Serial number ")
                              : QStringLiteral(", serial number ")) +
               device.serialNumber;
    }
    if (!usb.isEmpty())
        lines << usb;
    return lines.join(QLatin1Char('\n'));
}

QList<PortEntry> describedPorts(const QStringList &paths, bool withIdentity)
{
    QHash<QString, PortEntry> known;
    for (const PortEntry &entry : withIdentity ? SystemPortCatalog().devices() : QList<PortEntry>())
        known.insert(QFileInfo(entry.location).canonicalFilePath(), entry);
    QList<PortEntry> described;
    for (const QString &path : paths) {
        PortEntry entry = known.value(QFileInfo(path).canonicalFilePath(), {path, QString()});
        entry.location = path;
        described.append(entry);
    }
    return described;
}

QHash<QString, QString> serialByIdLinks(const QString &folder)
{
    QHash<QString, QString> links;
    const QFileInfoList found =
        QDir(folder).entryInfoList(QDir::System | QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo &link : found) {
        const QString target = link.canonicalFilePath();
        // Two links to one device (a rare udev rule): keep the first by name.
        if (link.isSymLink() && !target.isEmpty() && !links.contains(target))
            links.insert(target, link.absoluteFilePath());
    }
    return links;
}

QString AdvertisedPorts::folder()
{
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return runtime.isEmpty() ? QString() : runtime + QStringLiteral("/vantrel");
}
