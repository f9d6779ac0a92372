#include "station/Console.h"

#include "serial/DeviceFacts.h"

#include <cerrno>

void Console::say(const QString &line) const
{
    if (outState->failed)
        return;
    errno = 0;
    if (write(out, line))
        return;
    const int error = errno;
    outState->failed = true;
    const QString what = error == EPIPE ? QStringLiteral("standard output is closed")
                         : error == 0   ? QStringLiteral("standard output cannot be written")
                                        : QStringLiteral("standard output cannot be written (%1)")
                                            .arg(DeviceFacts::systemErrorText(error));
    complain(
        outState->report.isEmpty()
            ? QStringLiteral("%1; results are now only in the exit status.").arg(what)
            : QStringLiteral("%1; results go on into the report %2.").arg(what, outState->report));
}

void Console::complain(const QString &text) const
{
    (void)write(err, program + QStringLiteral(": ") + text);
}

bool Console::write(std::FILE *stream, const QString &line)
{
    const bool put = std::fputs((line + QLatin1Char('\n')).toLocal8Bit().constData(), stream) >= 0;
    return std::fflush(stream) == 0 && put;
}
