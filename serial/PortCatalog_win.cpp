#include "serial/ComPorts.h"
#include "serial/PortCatalog.h"

// Windows numbers its own ports (COMn); no program advertises one.
QList<PortEntry> SystemPortCatalog::devices() const
{
    return ComPorts::numbered(ComPorts::listedBySystem());
}

bool AdvertisedPorts::makeFolder(QString *error)
{
    *error = QStringLiteral("not supported on this system");
    return false;
}

QString AdvertisedPorts::advertise(const QString &, const QString &, QString *error)
{
    if (error)
        *error = QStringLiteral("not supported on this system");
    return {};
}

QList<PortEntry> AdvertisedPorts::list()
{
    return {};
}
