// Arbitrary chunk sequences through SettingTransaction's acknowledgement
// check, with Settings sent, Timer3 ticking and the port closing in between,
// checked against a model of the rules: a chunk that begins 55 AA is an
// acknowledgement, waited for or not; while a Setting is awaited a chunk of
// the lone byte 55 followed by a chunk that begins AA is one too, unless a
// frame was sent in between. Every byte comes out once and in order, the
// acknowledgement's two set to 0.
//
// Input: a sequence of operations, each led by one byte.
//   'o': a Setting. Then a flags byte: bit 0 port closed, bit 1 an ID out of
//        range, bit 2 the write fails; 0 sends.
//   't': Timer3 ticks, if a Setting is awaited (else nothing can tick).
//   'p': the port closes or is lost; the window logs any held byte.
//   any other byte: a chunk. Then a length byte (its low four bits, so at
//        most 15) and the chunk's bytes.

#include "protocol/SettingTransaction.h"

#include <QCoreApplication>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>

namespace {

using SendResult = SettingTransaction::SendResult;

constexpr char kAck0 = char(0x55);
constexpr char kAck1 = char(0xAA);

class TrivialLink final : public FrameLink
{
public:
    bool open = true;
    bool writeOk = true;
    int writes = 0;

    [[nodiscard]] bool isOpen() const override { return open; }
    bool writeFrame(const SettingCodec::ConfigFrame &, QString *error) override
    {
        if (!writeOk) {
            if (error)
                *error = QStringLiteral("write failed");
            return false;
        }
        ++writes;
        return true;
    }
};

struct Model
{
    bool waiting = false;
    bool holding = false;
    qsizetype heldAt = 0;
    QByteArray expected; // every byte received, acknowledgements blanked

    // Returns whether the chunk acknowledges.
    bool receive(const QByteArray &chunk)
    {
        if (chunk.isEmpty())
            return false;
        const qsizetype start = expected.size();
        expected += chunk;
        bool ack = false;
        if (holding) {
            holding = false;
            if (chunk.front() == kAck1) {
                expected[heldAt] = 0;
                expected[start] = 0;
                ack = true;
            }
        }
        if (!ack && chunk.size() >= 2 && chunk[0] == kAck0 && chunk[1] == kAck1) {
            expected[start] = 0;
            expected[start + 1] = 0;
            ack = true;
        }
        if (!ack && chunk.size() == 1 && chunk[0] == kAck0 && waiting) {
            holding = true;
            heldAt = start;
        }
        if (ack)
            waiting = false;
        return ack;
    }
};

[[noreturn]] void fail(const char *what, const Model &model, const QByteArray &logged)
{
    std::fprintf(
        stderr, "fuzz_ack_check: %s\n  model: %s, %s\n  expected: %s\n  logged:   %s\n", what,
        model.waiting ? "waiting" : "idle", model.holding ? "holding" : "not holding",
        model.expected.toHex(' ').right(120).constData(), logged.toHex(' ').right(120).constData());
    std::abort();
}

void compare(const Model &model, const QByteArray &logged, const SettingTransaction &transaction)
{
    if (transaction.isWaiting() != model.waiting)
        fail(model.waiting ? "not waiting though a Setting is awaited" : "waiting for nothing",
             model, logged);
    // At most the held byte is still to come.
    const qsizetype pending = model.expected.size() - logged.size();
    if (pending != (model.holding ? 1 : 0) || !model.expected.startsWith(logged))
        fail("bytes lost, added or out of order", model, logged);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    // Timer3 is a QTimer: it needs an application object, for the whole run.
    static QCoreApplication *const app = new QCoreApplication(*argc, *argv);
    (void)app;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    TrivialLink link;
    SettingTransaction transaction(link);
    Model model;
    QByteArray logged;
    bool ticked = false;
    QObject::connect(&transaction, &SettingTransaction::timedOut, &transaction, [&] {
        ticked = true;
        logged += transaction.releaseHeld();
    });

    std::size_t at = 0;
    const auto next = [&]() -> std::uint8_t { return at < size ? data[at++] : 0; };
    while (at < size) {
        const std::uint8_t op = next();
        if (op == 'o') {
            const std::uint8_t flags = next();
            link.open = (flags & 1) == 0;
            const bool inRange = (flags & 2) == 0;
            link.writeOk = (flags & 4) == 0;
            const int writesBefore = link.writes;
            bool built = false;
            const SettingTransaction::SendOutcome outcome = transaction.send([&] {
                built = true;
                return inRange ? std::optional(SettingCodec::BuildReceiveTimeoutFrame(-1))
                               : std::nullopt;
            });
            const SendResult want = !link.open      ? SendResult::PortClosed
                                    : !inRange      ? SendResult::OverRange
                                    : !link.writeOk ? SendResult::WriteFailed
                                                    : SendResult::Sent;
            if (outcome.result != want || built != link.open ||
                link.writes - writesBefore != (want == SendResult::Sent ? 1 : 0))
                fail("send gave the wrong outcome", model, logged);
            // A frame that goes to the line first gives back a held byte,
            // so that it never pairs with the next frame's answer.
            logged += outcome.released;
            if (want == SendResult::Sent || want == SendResult::WriteFailed)
                model.holding = false;
            if (want == SendResult::Sent)
                model.waiting = true;
        } else if (op == 't') {
            ticked = false;
            if (model.waiting) {
                // Let Timer3 run out now rather than in 2.5 s.
                transaction.setTimeoutInterval(0);
                for (int i = 0; i < 1000 && !ticked; ++i)
                    QCoreApplication::processEvents();
                transaction.setTimeoutInterval(2500);
                if (!ticked)
                    fail("harness: Timer3 did not tick", model, logged);
                model.waiting = false;
                model.holding = false;
            } else {
                QCoreApplication::processEvents();
                if (ticked)
                    fail("Timer3 ticked with no Setting awaited", model, logged);
            }
        } else if (op == 'p') {
            logged += transaction.releaseHeld();
            model.holding = false;
        } else {
            const std::size_t length = std::min<std::size_t>(next() & 0x0F, size - at);
            const QByteArray chunk(reinterpret_cast<const char *>(data) + at, qsizetype(length));
            at += length;
            bool acknowledged = false;
            logged += transaction.takeChunk(chunk, &acknowledged);
            if (acknowledged != model.receive(chunk))
                fail(acknowledged ? "acknowledged against the rules" : "acknowledgement missed",
                     model, logged);
        }
        compare(model, logged, transaction);
    }

    logged += transaction.releaseHeld();
    model.holding = false;
    if (logged != model.expected)
        fail("bytes lost, added or out of order at the end", model, logged);
    return 0;
}
