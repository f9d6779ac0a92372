#pragma once

#include "protocol/SettingCodec.h"

#include <QString>

// What a Setting needs from the serial line.
class FrameLink
{
public:
    virtual ~FrameLink() = default;
    [[nodiscard]] virtual bool isOpen() const = 0;
    // Writes the frame as one block. On failure returns false and, if error is
    // given, a sentence naming the device and the system's reason.
    virtual bool writeFrame(const SettingCodec::ConfigFrame &frame, QString *error) = 0;
    // Hands over at once whatever the line has already received, so that a
    // deadline is judged on everything that came before it.
    virtual void deliverWaiting() {}
};
