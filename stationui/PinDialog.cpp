#include "stationui/PinDialog.h"

#include <QDateTime>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QThread>
#include <QVBoxLayout>

#include <memory>

namespace {

qint64 now()
{
    return QDateTime::currentMSecsSinceEpoch();
}

QLineEdit *pinEdit(const char *name, QWidget *parent)
{
    auto *edit = new QLineEdit(parent);
    edit->setObjectName(QLatin1String(name));
    edit->setEchoMode(QLineEdit::Password);
    edit->setInputMethodHints(Qt::ImhHiddenText | Qt::ImhSensitiveData | Qt::ImhNoPredictiveText);
    return edit;
}

} // namespace

PinDialog::PinDialog(Mode mode, const QString &why, const QString &stored, PinGate *gate,
                     QWidget *parent)
    : QDialog(parent), m_mode(mode), m_stored(stored), m_gate(gate)
{
    setObjectName(QStringLiteral("pinDialog"));
    setWindowTitle(mode == Mode::Ask ? tr("Supervisor PIN") : tr("Set the supervisor PIN"));
    auto *why_ = new QLabel(why, this);
    why_->setWordWrap(true);
    m_pin = pinEdit("pinEdit", this);
    auto *form = new QFormLayout;
    form->addRow(mode == Mode::Ask ? tr("&PIN:") : tr("New &PIN:"), m_pin);
    if (mode == Mode::Set) {
        m_again = pinEdit("pinAgain", this);
        form->addRow(tr("&Again:"), m_again);
    }
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("pinStatus"));
    m_status->setWordWrap(true);
    // Our own captions: the dialog speaks the window's language whether or
    // not Qt's own translations are installed.
    auto *buttons = new QDialogButtonBox(this);
    m_ok = buttons->addButton(tr("OK"), QDialogButtonBox::AcceptRole);
    m_ok->setObjectName(QStringLiteral("pinOk"));
    m_ok->setDefault(true);
    buttons->addButton(tr("Cancel"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &PinDialog::onOk);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(why_);
    layout->addLayout(form);
    layout->addWidget(m_status);
    layout->addWidget(buttons);
    m_wait.setInterval(1000);
    connect(&m_wait, &QTimer::timeout, this, &PinDialog::showWait);
    if (m_gate)
        showWait();
}

PinDialog::~PinDialog()
{
    // A hash under way finishes on its own; its result goes nowhere.
    if (m_worker)
        m_worker->disconnect(this);
}

void PinDialog::setWorking(bool working)
{
    m_ok->setEnabled(!working);
    m_pin->setEnabled(!working);
    if (m_again)
        m_again->setEnabled(!working);
    if (working)
        m_status->setText(tr("Checking..."));
}

void PinDialog::showWait()
{
    const qint64 wait = m_gate ? m_gate->waitMs(now()) : 0;
    if (wait <= 0) {
        m_wait.stop();
        m_ok->setEnabled(true);
        if (m_status->property("waiting").toBool())
            m_status->clear();
        m_status->setProperty("waiting", false);
        return;
    }
    m_ok->setEnabled(false);
    m_status->setProperty("waiting", true);
    m_status->setText(
        tr("Wrong PIN. Wait %n second(s) before the next try.", nullptr, int((wait + 999) / 1000)));
    if (!m_wait.isActive())
        m_wait.start();
}

void PinDialog::onOk()
{
    if (m_worker)
        return;
    const QString pin = m_pin->text();
    if (m_mode == Mode::Set) {
        if (const QString why = SupervisorPin::refusal(pin); !why.isEmpty()) {
            m_status->setText(why);
            return;
        }
        if (pin != m_again->text()) {
            m_status->setText(tr("The two PINs differ."));
            return;
        }
    } else if (m_gate && m_gate->waitMs(now()) > 0) {
        showWait();
        return;
    }
    setWorking(true);
    auto result = std::make_shared<QString>();
    const QString stored = m_stored;
    const bool ask = m_mode == Mode::Ask;
    m_worker = QThread::create([result, stored, pin, ask] {
        *result = ask ? (SupervisorPin::verify(stored, pin) ? QStringLiteral("1") : QString())
                      : SupervisorPin::hash(pin);
    });
    connect(m_worker, &QThread::finished, m_worker, &QObject::deleteLater);
    connect(m_worker, &QThread::finished, this, [this, result, ask] {
        m_worker = nullptr;
        if (ask)
            onChecked(!result->isEmpty());
        else
            onHashed(*result);
    });
    m_worker->start();
}

void PinDialog::onChecked(bool right)
{
    setWorking(false);
    const PinGate::Outcome outcome =
        m_gate ? m_gate->record(right, now())
               : PinGate::Outcome{right ? PinGate::Verdict::Accepted : PinGate::Verdict::Refused};
    emit gateChanged();
    if (outcome.verdict == PinGate::Verdict::Accepted) {
        accept();
        return;
    }
    m_pin->clear();
    m_pin->setFocus();
    m_status->setText(tr("Wrong PIN."));
    showWait();
}

void PinDialog::onHashed(const QString &hash)
{
    setWorking(false);
    m_newHash = hash;
    accept();
}
