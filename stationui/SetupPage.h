#pragma once

#include "stationui/RunSetup.h"

#include <QWidget>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

// The run's setup: who runs it and for which lot (the operator's part),
// what is sent, where it is recorded and which sockets are taken (the
// supervisor's part, read-only while locked), and how the window speaks and
// looks. Everything is read-only while a run is on.
class SetupPage final : public QWidget
{
    Q_OBJECT

public:
    explicit SetupPage(QWidget *parent = nullptr);

    void setSetup(const RunSetup &setup);
    [[nodiscard]] RunSetup setup() const;

    // The supervisor's part is locked (a PIN is set and not given).
    void setGuardLocked(bool locked);
    void setRunning(bool running);
    void setPinSet(bool set);
    void showProblems(const QStringList &problems);
    // A fixture just learned and saved.
    void setFixturePath(const QString &path);

signals:
    void setupEdited();
    void languageChosen(const QString &language);
    void typeChosen(int percent);
    void soundChosen(bool on);
    void unlockRequested();
    void lockRequested();
    void pinRequested();
    void pinRemovalRequested();
    void learnFixtureRequested();

protected:
    void changeEvent(QEvent *event) override;

private:
    [[nodiscard]] QGroupBox *buildRunGroup();
    [[nodiscard]] QGroupBox *buildStationGroup();
    [[nodiscard]] QGroupBox *buildWindowGroup();
    [[nodiscard]] QGroupBox *buildSupervisorGroup();
    void retranslate();
    void refreshOperator();
    void refreshProfile();
    void refreshFixture();
    void refreshEnabled();
    void chooseProfile();
    void chooseReport();
    void chooseFixture();
    void onOperatorEntered();

    bool m_guardLocked = false;
    bool m_running = false;
    bool m_pinSet = false;
    bool m_filling = false; // setSetup() under way: no setupEdited()

    QGroupBox *m_runGroup = nullptr;
    QGroupBox *m_stationGroup = nullptr;
    QGroupBox *m_windowGroup = nullptr;
    QGroupBox *m_supervisorGroup = nullptr;
    QList<std::pair<QLabel *, const char *>> m_captions; // label, source text
    QLineEdit *m_operator = nullptr;
    QLabel *m_operatorProblem = nullptr;
    QLineEdit *m_lot = nullptr;
    QSpinBox *m_quantity = nullptr;
    QLineEdit *m_profile = nullptr;
    QPushButton *m_chooseProfile = nullptr;
    QLabel *m_profileSummary = nullptr;
    QLineEdit *m_report = nullptr;
    QPushButton *m_chooseReport = nullptr;
    QLineEdit *m_station = nullptr;
    QLineEdit *m_fixture = nullptr;
    QPushButton *m_chooseFixture = nullptr;
    QPushButton *m_learnFixture = nullptr;
    QPushButton *m_clearFixture = nullptr;
    QLabel *m_fixtureSummary = nullptr;
    QLineEdit *m_matches = nullptr;
    QLineEdit *m_store = nullptr;
    QComboBox *m_language = nullptr;
    QCheckBox *m_sound = nullptr;
    QComboBox *m_type = nullptr;
    QLabel *m_lockState = nullptr;
    QPushButton *m_unlock = nullptr;
    QPushButton *m_setPin = nullptr;
    QPushButton *m_removePin = nullptr;
    QLabel *m_problems = nullptr;
};
