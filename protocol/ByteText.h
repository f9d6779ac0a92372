#pragma once

#include "protocol/SettingCodec.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// Bytes as people read them in traces and messages.

// The frame's twelve bytes.
[[nodiscard]] QByteArray frameBytes(const SettingCodec::ConfigFrame &frame);

// "98 95 93 ...": upper-case hex, one blank between bytes.
[[nodiscard]] QString spacedHex(QByteArrayView bytes);
[[nodiscard]] QString spacedHex(const SettingCodec::ConfigFrame &frame);
