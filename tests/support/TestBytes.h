#pragma once

#include "protocol/SettingCodec.h"

#include <QByteArray>
#include <QFile>
#include <QString>

// Byte material the tests share.
namespace TestBytes {

// "98 95 93" -> the three bytes.
inline QByteArray hex(const char *spaced)
{
    return QByteArray::fromHex(QByteArray(spaced));
}

// The first twelve bytes as a frame, zeros where there are fewer.
inline SettingCodec::ConfigFrame configFrame(const QByteArray &bytes)
{
    SettingCodec::ConfigFrame frame{};
    for (std::size_t i = 0; i < frame.size() && qsizetype(i) < bytes.size(); ++i)
        frame[i] = std::uint8_t(bytes.at(qsizetype(i)));
    return frame;
}

// Printable lines with a running number, so a lost or swapped piece shows.
inline QByteArray numberedLines(qsizetype size)
{
    QByteArray text;
    for (int line = 0; text.size() < size; ++line)
        text += QByteArray::number(line).rightJustified(8, '0') + " ----------------------\r\n";
    text.truncate(size);
    return text;
}

inline QByteArray everyByteValue()
{
    QByteArray bytes;
    for (int i = 0; i < 256; ++i)
        bytes.append(char(i));
    return bytes;
}

inline QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

} // namespace TestBytes
