#pragma once

#include <QByteArray>
#include <QString>

// A frame sent to a device and not answered (yet), noted for the device in
// this user's notes folder. The dongle may still answer it seconds later,
// and that answer must not read as the answer to a later frame, sent by
// this program or another. Noted before the frame goes out and dropped when
// its answer came, so that a program killed in between leaves the note too.
class UnansweredFrame
{
public:
    // deviceKey: DeviceFacts::deviceKey(); an empty key notes nothing.
    explicit UnansweredFrame(const QString &deviceKey = {});

    // How much longer an answer to the noted frame may come, when none
    // comes later than lateMs after its frame; 0 when no frame is noted.
    // Never more than lateMs, should the clock have been set back.
    [[nodiscard]] qint64 remainingMs(int lateMs) const;
    // Before the frame is written; false when it cannot be noted.
    [[nodiscard]] bool note(const QByteArray &frame);
    // Its answer came.
    void clear();
    [[nodiscard]] QString errorString() const { return m_error; }

private:
    QString m_path; // empty: nothing is noted
    QString m_error;
};
