#pragma once

#include "stationui/SupervisorPin.h"

#include <QDialog>
#include <QTimer>

class QLabel;
class QLineEdit;
class QPushButton;

// Asks for the supervisor's PIN (Ask), or for a new one twice (Set). The
// slow hash is worked out on a thread of its own, so the window keeps
// drawing meanwhile; wrong tries go through the gate, which makes the next
// try wait.
class PinDialog final : public QDialog
{
    Q_OBJECT

public:
    enum class Mode
    {
        Ask,
        Set
    };

    // Ask: stored is the hash to check against; gate counts the tries.
    PinDialog(Mode mode, const QString &why, const QString &stored, PinGate *gate,
              QWidget *parent = nullptr);
    ~PinDialog() override;

    // Set: the new PIN's hash, once accepted.
    [[nodiscard]] QString newHash() const { return m_newHash; }

signals:
    // The gate counted a try: keep its state.
    void gateChanged();

private:
    void onOk();
    void onChecked(bool right);
    void onHashed(const QString &hash);
    void showWait();
    void setWorking(bool working);

    Mode m_mode;
    QString m_stored;
    PinGate *m_gate;
    QString m_newHash;
    QLabel *m_status = nullptr;
    QLineEdit *m_pin = nullptr;
    QLineEdit *m_again = nullptr;
    QPushButton *m_ok = nullptr;
    QTimer m_wait;
    QThread *m_worker = nullptr;
};
