// Arbitrary chunk sequences, Settings and "Clear Data" through ReceiveLog,
// checked after every step against a model that keeps its own copy of the
// text, normalised the slow, literal way.
//
// Input: a sequence of operations, each led by one byte.
//   't': a Setting empties the text (the counters carry on).
//   'x': "Clear Data".
//   any other byte: append. Then a length byte (its low six bits give n, so
//       at most 63), a repeat byte r, and n bytes of chunk; the chunk is
//       appended r + 1 times, so that short inputs reach the trim.

#include "log/ReceiveLog.h"
#include "support/LiteralNormalise.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

struct Model
{
    std::string text;
    std::int64_t logLength = 0;
    std::int64_t dataCount = 0;
    bool counted = false;
    std::uint64_t clears = 0;
    std::int64_t dropped = 0; // characters cut from the front since the last clear

    void append(std::string_view chunk)
    {
        logLength += std::int64_t(chunk.size());
        dataCount = logLength;
        counted = true;
        if (logLength > 16000) {
            // One cut of 4096, and only from a log that has more than that.
            if (text.size() > 4096) {
                text.erase(0, 4096);
                dropped += 4096;
            }
            logLength = std::int64_t(text.size());
        }
        text += literalNormalise(chunk);
    }
    void clearText()
    {
        text.clear();
        dropped = 0;
        ++clears;
    }
    void clearData()
    {
        clearText();
        logLength = 0;
        dataCount = 0;
        counted = true;
    }
};

[[noreturn]] void fail(const char *what, const Model &model, const ReceiveLog &log)
{
    std::fprintf(stderr,
                 "fuzz_receive_log: %s\n  model: %zu chars, LogLength %lld, DataCount %lld\n"
                 "  log:   %lld chars, LogLength %d, DataCount %d, caption \"%s\"\n",
                 what, model.text.size(), static_cast<long long>(model.logLength),
                 static_cast<long long>(model.dataCount), static_cast<long long>(log.text().size()),
                 log.logLength(), log.dataCount(), qPrintable(log.countCaption()));
    std::abort();
}

void compare(const Model &model, const ReceiveLog &log, std::uint64_t generation0)
{
    const QByteArray &text = log.text();
    if (std::string_view(text.constData(), std::size_t(text.size())) != model.text)
        fail("kept text differs", model, log);
    if (log.logLength() != model.logLength || log.dataCount() != model.dataCount)
        fail("counters differ", model, log);
    const QString caption =
        model.counted ? QString::number(model.dataCount) : QStringLiteral("Data cnt");
    if (log.countCaption() != caption)
        fail("caption differs", model, log);
    if (log.generation() != generation0 + model.clears || log.frontPosition() != model.dropped ||
        log.endPosition() != model.dropped + std::int64_t(model.text.size()))
        fail("stream positions differ", model, log);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    ReceiveLog log;
    Model model;
    const std::uint64_t generation0 = log.generation();
    compare(model, log, generation0);

    std::size_t at = 0;
    const auto next = [&]() -> std::uint8_t { return at < size ? data[at++] : 0; };
    while (at < size) {
        const std::uint8_t op = next();
        if (op == 't') {
            log.clearText();
            model.clearText();
            compare(model, log, generation0);
        } else if (op == 'x') {
            log.clearData();
            model.clearData();
            compare(model, log, generation0);
        } else {
            const std::size_t length = next() & 0x3F;
            const int repeats = next() + 1;
            const std::size_t take = std::min(length, size - at);
            const std::string_view chunk(reinterpret_cast<const char *>(data) + at, take);
            at += take;
            for (int i = 0; i < repeats; ++i) {
                log.AppendLog(QByteArrayView(chunk.data(), qsizetype(chunk.size())));
                model.append(chunk);
                compare(model, log, generation0);
            }
        }
    }
    return 0;
}
