#pragma once

#include "app/Form1.h"
#include "support/ChangingCatalog.h"
#include "support/RecordingDialogs.h"

// A window platform for tests: recorded boxes, a scripted save dialog and a
// port catalog the test controls (empty unless given), so no test ever
// touches the machine's own serial devices.
inline Form1Platform testPlatform(RecordingBoxes &boxes, ScriptedSaveDialog &save,
                                  std::shared_ptr<QList<PortEntry>> ports = nullptr)
{
    Form1Platform platform;
    platform.boxes = &boxes;
    platform.saveDialog = &save;
    platform.ports = std::make_unique<ChangingCatalog>(
        ports ? std::move(ports) : std::make_shared<QList<PortEntry>>());
    return platform;
}
