#pragma once

// vantrel-set's exit statuses, for one device, a batch and a station alike.
namespace ExitStatus {

enum Code : int
{
    kAcknowledged = 0,
    kNoAcknowledgement = 1,
    kUsageError = 2,
    kPortError = 3,
    // The report could not be written: a unit may lack its record.
    kReportError = 4,
    // The profile of --save-profile could not be written: as with the
    // report, a file asked for is not there.
    kProfileError = kReportError,
};

// The worse of two statuses: a report that failed over a port error over a
// missing acknowledgement over success.
[[nodiscard]] constexpr int worse(int a, int b)
{
    const auto rank = [](int code) {
        switch (code) {
        case kAcknowledged:
            return 0;
        case kNoAcknowledgement:
            return 2;
        case kPortError:
            return 3;
        case kReportError:
            return 4;
        default:
            return 1;
        }
    };
    return rank(a) >= rank(b) ? a : b;
}

} // namespace ExitStatus
