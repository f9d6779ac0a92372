#include "station/Console.h"

void Console::complain(const QString &text) const
{
    write(err, QStringLiteral("vantrel-set: ") + text);
}

void Console::write(std::FILE *stream, const QString &line)
{
    std::fputs((line + QLatin1Char('\n')).toLocal8Bit().constData(), stream);
    std::fflush(stream);
}
