#pragma once

#include <QString>

// What the system says about a device node, for telling the operator why a
// port did not open. Facts, not the wording of an error.
namespace DeviceFacts {

// The current user may not read and write the node.
[[nodiscard]] bool accessDenied(const QString &location);
// The group owning the node; empty when unknown.
[[nodiscard]] QString owningGroup(const QString &location);
// A serial lock file ("LCK..name" in the usual lock folders) names a live
// process: a program (this one included) has the device open.
[[nodiscard]] bool lockedByAnother(const QString &location);
// Why location cannot be a serial device ("Cannot open X: No such file or
// directory."), or empty when it may be one. Ports that are no files (COM3)
// are left to the opening to judge.
[[nodiscard]] QString whyNotADevice(const QString &location);

// A name for the device itself, the same by whatever path it is named:
// "188-0" (its device number) on Linux, "COM3" on Windows; empty when
// location leads to no device.
[[nodiscard]] QString deviceKey(const QString &location);
// Where this user's notes about devices are kept (a frame whose answer may
// still come): in the runtime folder on Linux, which goes at log-out, the
// temporary folder on Windows. Empty where the system has none.
[[nodiscard]] QString notesFolder();

// The system's text for an error number.
[[nodiscard]] QString systemErrorText(int error);

} // namespace DeviceFacts
