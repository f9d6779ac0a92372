#pragma once

#include <QByteArray>
#include <QString>

// The supervisor's PIN, kept only as a salted, slow hash:
// "pbkdf2-sha256$ITERATIONS$SALT$KEY" (salt and key in hex). The salt is
// new for every PIN set, so two stations with the same PIN keep different
// hashes and one table of hashes does not serve for all. Deriving takes a
// noticeable fraction of a second: call hash() and verify() off the event
// thread.
namespace SupervisorPin {

inline constexpr int kIterations = 20000;
inline constexpr int kMinLength = 4;

// With a salt of its own from the system's random source.
[[nodiscard]] QString hash(const QString &pin);
[[nodiscard]] QString hash(const QString &pin, const QByteArray &salt, int iterations);
// False for a wrong PIN and for a stored text that is no hash of ours.
[[nodiscard]] bool verify(const QString &stored, const QString &pin);
// Why pin cannot be a supervisor's PIN, or empty.
[[nodiscard]] QString refusal(const QString &pin);

} // namespace SupervisorPin

// Wrong tries slow down: after a few free ones, each wrong PIN doubles the
// wait before the next is taken. The state is meant to be kept with the
// hash, so that restarting the program does not start the count afresh.
class PinGate
{
public:
    struct State
    {
        int failures = 0;
        qint64 notBeforeMs = 0; // wall clock, ms since the epoch
    };
    enum class Verdict
    {
        Accepted,
        Refused,
        TooSoon // not tried: wait first
    };
    struct Outcome
    {
        Verdict verdict;
        qint64 waitMs = 0; // before the next try is taken
    };

    static constexpr int kFreeTries = 2;
    static constexpr qint64 kMaxDelayMs = 5 * 60 * 1000;

    PinGate() = default;
    explicit PinGate(State state) : m_state(state) {}

    // The wait after this many wrong tries in a row.
    [[nodiscard]] static qint64 delayAfter(int failures);
    // How long until a try is taken; a clock set back does not stretch it
    // beyond the delay the failures earned.
    [[nodiscard]] qint64 waitMs(qint64 nowMs) const;
    // right: whether the PIN given was right (verified by the caller).
    [[nodiscard]] Outcome record(bool right, qint64 nowMs);
    [[nodiscard]] State state() const { return m_state; }

private:
    State m_state;
};
