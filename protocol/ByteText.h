#pragma once

#include "protocol/SettingCodec.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <string_view>

// Bytes as people read them in traces and messages.

// The frame's twelve bytes.
[[nodiscard]] QByteArray frameBytes(const SettingCodec::ConfigFrame &frame);

// Text of the codec's tables (item texts, messages) as Qt text.
[[nodiscard]] QString toQString(std::string_view text);

// "98 95 93 ...": upper-case hex, one blank between bytes.
[[nodiscard]] QString spacedHex(QByteArrayView bytes);
[[nodiscard]] QString spacedHex(const SettingCodec::ConfigFrame &frame);
