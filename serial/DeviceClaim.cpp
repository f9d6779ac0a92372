#include "serial/DeviceClaim.h"

#include <utility>

DeviceClaim::~DeviceClaim()
{
    release();
}

DeviceClaim::DeviceClaim(DeviceClaim &&other) noexcept
    : m_status(std::exchange(other.m_status, Status::Unclaimed)), m_node(std::move(other.m_node)),
      m_busyReason(std::move(other.m_busyReason)), m_held(std::exchange(other.m_held, -1))
{
}

DeviceClaim &DeviceClaim::operator=(DeviceClaim &&other) noexcept
{
    if (this != &other) {
        release();
        m_status = std::exchange(other.m_status, Status::Unclaimed);
        m_node = std::move(other.m_node);
        m_busyReason = std::move(other.m_busyReason);
        m_held = std::exchange(other.m_held, -1);
    }
    return *this;
}
