#include "station/DeviceMatch.h"

#include <QCollator>

#include <algorithm>

namespace {

bool sameLetter(QChar a, QChar b)
{
    return a == b || a.toCaseFolded() == b.toCaseFolded();
}

// "Dongle emulator 1 (/dev/pts/3)" -> "Dongle emulator 1", "USB Serial Port
// (COM8)" on COM8 -> "USB Serial Port"; empty where the product does not end
// in its port.
QString withoutPort(const QString &product, const QString &location)
{
    const qsizetype open = product.lastIndexOf(QStringLiteral(" ("));
    if (open <= 0 || !product.endsWith(QLatin1Char(')')))
        return {};
    const QString port = product.mid(open + 2, product.size() - open - 3);
    const bool isPort = port.compare(location, Qt::CaseInsensitive) == 0 ||
                        (port.startsWith(QLatin1Char('/')) && !port.contains(QLatin1Char(' ')));
    return isPort ? product.left(open).trimmed() : QString();
}

QString firstNameMatching(const PortEntry &device, const QString &pattern)
{
    const QStringList names = deviceNames(device);
    const auto it = std::find_if(names.cbegin(), names.cend(), [&pattern](const QString &name) {
        return wildcardMatches(pattern, name);
    });
    return it == names.cend() ? QString() : *it;
}

} // namespace

bool wildcardMatches(QStringView pattern, QStringView name)
{
    qsizetype p = 0;
    qsizetype n = 0;
    // The last '*' seen and where in the name its run ends so far: on a
    // mismatch the run grows by one character and the rest is tried again.
    qsizetype star = -1;
    qsizetype starEnd = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == QLatin1Char('*')) {
            star = p++;
            starEnd = n;
        } else if (p < pattern.size() &&
                   (pattern[p] == QLatin1Char('?') || sameLetter(pattern[p], name[n]))) {
            ++p;
            ++n;
        } else if (star >= 0) {
            p = star + 1;
            n = ++starEnd;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == QLatin1Char('*'))
        ++p;
    return p == pattern.size();
}

QStringList deviceNames(const PortEntry &device)
{
    QStringList names;
    for (const QString &link : {device.byId, device.byPath}) {
        const qsizetype slash = link.lastIndexOf(QLatin1Char('/'));
        names << link.mid(slash + 1);
        if (slash >= 0)
            names << link;
    }
    names << device.serialNumber << device.vidPid() << device.description
          << withoutPort(device.description, device.location);
    names.removeAll(QString());
    return names;
}

bool matchesDevice(const PortEntry &device, const QString &pattern)
{
    if (const std::optional<bool> byPortName = matchesPortName(device, pattern))
        return *byPortName;
    return !firstNameMatching(device, pattern).isEmpty();
}

bool matchesDevice(const PortEntry &device, const QStringList &patterns)
{
    return std::any_of(patterns.cbegin(), patterns.cend(), [&device](const QString &pattern) {
        return matchesDevice(device, pattern);
    });
}

QString partOfNameHint(const QString &pattern, const QList<PortEntry> &devices)
{
    constexpr qsizetype kNamed = 3;
    // A pattern with wildcards was written for whole names already.
    if (pattern.contains(QLatin1Char('*')) || pattern.contains(QLatin1Char('?')))
        return {};
    const QString wider = QStringLiteral("*%1*").arg(pattern);
    QStringList parts;
    for (const PortEntry &device : devices) {
        if (matchesDevice(device, pattern))
            return {};
        if (const QString name = firstNameMatching(device, wider); !name.isEmpty())
            parts << name;
    }
    if (parts.isEmpty())
        return {};
    // Unit 2 before unit 10.
    QCollator natural;
    natural.setNumericMode(true);
    std::sort(parts.begin(), parts.end(), natural);
    QString named = parts.mid(0, kNamed).join(QStringLiteral(", "));
    if (parts.size() > kNamed)
        named += QStringLiteral(" and %1 more").arg(parts.size() - kNamed);
    return QStringLiteral("\"%1\" matches no whole name; \"%2\" would take every device "
                          "whose name holds it: %3 here. Give a whole name to take one alone.")
        .arg(pattern, wider, named);
}

QString quotedPatterns(const QStringList &patterns)
{
    QStringList quoted;
    for (const QString &pattern : patterns)
        quoted << QStringLiteral("\"%1\"").arg(pattern);
    return quoted.join(QStringLiteral(" or "));
}
