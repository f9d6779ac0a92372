#pragma once

#include "serial/PortCatalog.h"

#include <QList>

#include <memory>

// A catalog the test fills: pseudo-terminals for present ports, paths that
// do not exist for absent ones. The entries stay changeable after the
// catalog has been handed to a SerialLink, so a test can plug and unplug.
class ChangingCatalog final : public PortCatalog
{
public:
    explicit ChangingCatalog(std::shared_ptr<QList<PortEntry>> entries)
        : m_entries(std::move(entries))
    {
    }
    [[nodiscard]] QList<PortEntry> devices() const override { return *m_entries; }

private:
    std::shared_ptr<QList<PortEntry>> m_entries;
};

// n entries, all absent.
inline std::shared_ptr<QList<PortEntry>> absentPorts(int n)
{
    auto entries = std::make_shared<QList<PortEntry>>();
    for (int i = 1; i <= n; ++i)
        entries->append({QStringLiteral("/nonexistent/ttyTEST%1").arg(i), QString()});
    return entries;
}
