#pragma once

#include "station/DeviceSource.h"
#include "station/Fixture.h"

#include <QDialog>

class DeviceWatcher;
class QLabel;
class QListWidget;
class QPushButton;

// "Learn fixture": the supervisor plugs one unit into each socket in turn;
// each unit that appears names the next slot by its socket. Units there
// before the dialog opened are not taken. Saved as a fixture file.
class FixtureDialog final : public QDialog
{
    Q_OBJECT

public:
    // sources: where devices come from (systemDeviceSources() on a station).
    FixtureDialog(DeviceSources sources, QWidget *parent = nullptr);
    ~FixtureDialog() override;

    // Where the fixture was saved, once accepted.
    [[nodiscard]] QString savedPath() const { return m_savedPath; }
    [[nodiscard]] Fixture fixture() const { return m_learning.fixture(); }

private:
    void onAppeared(const PortEntry &unit);
    void undo();
    void save();
    void refresh(const QString &said);

    FixtureLearning m_learning;
    DeviceWatcher *m_watcher;
    QString m_savedPath;
    QLabel *m_prompt = nullptr;
    QLabel *m_said = nullptr;
    QListWidget *m_slots = nullptr;
    QPushButton *m_undo = nullptr;
    QPushButton *m_save = nullptr;
};
