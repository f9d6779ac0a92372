#include "protocol/ByteText.h"

QByteArray frameBytes(const SettingCodec::ConfigFrame &frame)
{
    return QByteArray(reinterpret_cast<const char *>(frame.data()), qsizetype(frame.size()));
}

QString toQString(std::string_view text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

QString spacedHex(QByteArrayView bytes)
{
    return QString::fromLatin1(bytes.toByteArray().toHex(' ').toUpper());
}

QString spacedHex(const SettingCodec::ConfigFrame &frame)
{
    return spacedHex(frameBytes(frame));
}
