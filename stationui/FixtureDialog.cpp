#include "stationui/FixtureDialog.h"

#include "station/DeviceWatcher.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

FixtureDialog::FixtureDialog(DeviceSources sources, QWidget *parent)
    : QDialog(parent), m_watcher(new DeviceWatcher(std::move(sources), this))
{
    setObjectName(QStringLiteral("fixtureDialog"));
    setWindowTitle(tr("Learn fixture"));
    auto *intro = new QLabel(tr("Plug one unit into each socket of the fixture in order, "
                                "starting with slot 1, and wait for each to be named here. "
                                "Units plugged in already are not taken."),
                             this);
    intro->setWordWrap(true);
    m_prompt = new QLabel(this);
    m_prompt->setObjectName(QStringLiteral("learnPrompt"));
    QFont big = m_prompt->font();
    big.setPointSizeF(big.pointSizeF() * 1.5);
    big.setBold(true);
    m_prompt->setFont(big);
    m_said = new QLabel(this);
    m_said->setObjectName(QStringLiteral("learnSaid"));
    m_said->setWordWrap(true);
    m_slots = new QListWidget(this);
    m_slots->setObjectName(QStringLiteral("learnedSlots"));
    auto *buttons = new QDialogButtonBox(this);
    m_undo = buttons->addButton(tr("&Undo last slot"), QDialogButtonBox::ActionRole);
    m_save = buttons->addButton(tr("&Save fixture..."), QDialogButtonBox::AcceptRole);
    buttons->addButton(tr("Cancel"), QDialogButtonBox::RejectRole);
    connect(m_undo, &QPushButton::clicked, this, &FixtureDialog::undo);
    connect(buttons, &QDialogButtonBox::accepted, this, &FixtureDialog::save);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *layout = new QVBoxLayout(this);
    for (QWidget *w : {static_cast<QWidget *>(intro), static_cast<QWidget *>(m_prompt),
                       static_cast<QWidget *>(m_said), static_cast<QWidget *>(m_slots),
                       static_cast<QWidget *>(buttons)})
        layout->addWidget(w);

    connect(m_watcher, &DeviceWatcher::appeared, this, &FixtureDialog::onAppeared);
    const QStringList unwatched = m_watcher->start();
    refresh(unwatched.isEmpty()
                ? QString()
                : tr("Cannot hear of: %1").arg(unwatched.join(QStringLiteral("; "))));
}

FixtureDialog::~FixtureDialog() = default;

void FixtureDialog::onAppeared(const PortEntry &unit)
{
    const FixtureLearning::Heard heard = m_learning.appeared(unit);
    switch (heard.outcome) {
    case FixtureLearning::Outcome::Learned:
        refresh(tr("Slot %1 is the socket of %2.").arg(heard.slot).arg(unit.location));
        break;
    case FixtureLearning::Outcome::NoSocket:
        refresh(tr("%1 is not in a USB socket the system names: it cannot be a slot.")
                    .arg(unit.location));
        break;
    case FixtureLearning::Outcome::AlreadyLearned:
        refresh(tr("That socket is slot %1 already.").arg(heard.slot));
        break;
    case FixtureLearning::Outcome::Full:
        refresh(tr("Every slot is learned."));
        break;
    }
}

void FixtureDialog::undo()
{
    m_learning.undo();
    refresh(QString());
}

void FixtureDialog::refresh(const QString &said)
{
    const Fixture fixture = m_learning.fixture();
    m_prompt->setText(tr("Plug a unit into the socket of slot %1.").arg(m_learning.nextSlot()));
    m_said->setText(said);
    m_slots->clear();
    for (int i = 0; i < fixture.slotCount(); ++i)
        m_slots->addItem(tr("Slot %1: %2").arg(i + 1).arg(fixture.sockets().at(i)));
    m_undo->setEnabled(!fixture.isEmpty());
    m_save->setEnabled(!fixture.isEmpty());
}

void FixtureDialog::save()
{
    const QString path = QFileDialog::getSaveFileName(this, tr("Save the fixture"), QString(),
                                                      tr("Fixtures (*.fixture)"));
    if (path.isEmpty())
        return;
    if (const FixtureWrite written = writeFixture(path, m_learning.fixture()); !written.ok()) {
        m_said->setText(written.error);
        return;
    }
    m_savedPath = path;
    accept();
}
