#include "protocol/ByteText.h"

QByteArray frameBytes(const SettingCodec::ConfigFrame &frame)
{
    return QByteArray(reinterpret_cast<const char *>(frame.data()), qsizetype(frame.size()));
}

QString spacedHex(QByteArrayView bytes)
{
    return QString::fromLatin1(bytes.toByteArray().toHex(' ').toUpper());
}

QString spacedHex(const SettingCodec::ConfigFrame &frame)
{
    return spacedHex(frameBytes(frame));
}
