#pragma once

// vantrel-set's exit statuses, for one device, a batch and a station alike.
namespace ExitStatus {

enum Code : int
{
    kAcknowledged = 0,
    kNoAcknowledgement = 1,
    kUsageError = 2,
    kPortError = 3,
};

// The worse of two statuses: a port error over a missing acknowledgement
// over success.
[[nodiscard]] constexpr int worse(int a, int b)
{
    const auto rank = [](int code) {
        return code == kPortError ? 3 : code == kNoAcknowledgement ? 2 : code == 0 ? 0 : 1;
    };
    return rank(a) >= rank(b) ? a : b;
}

} // namespace ExitStatus
