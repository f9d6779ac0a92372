#include "app/AdvancedPage.h"

#include "app/ChoiceList.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

using namespace PageControls;

namespace {

QLineEdit *makeIdBox(const QString &name, QWidget *parent)
{
    auto *box = new QLineEdit(QStringLiteral("000"), parent);
    box->setObjectName(name);
    box->setMaxLength(3);
    box->setAlignment(Qt::AlignCenter);
    box->setFont(arial(12));
    box->setFixedWidth(box->fontMetrics().horizontalAdvance(QStringLiteral("0000")) + 12);
    return box;
}

} // namespace

AdvancedPage::AdvancedPage(QWidget *parent) : SettingPage(parent)
{
    auto *outer = new QVBoxLayout(this);
    const auto idFrame = [this](const QString &name, const QString &title, const QString &prefix,
                                std::size_t first) {
        auto *frame = new QGroupBox(title, this);
        frame->setObjectName(name);
        auto *row = new QHBoxLayout(frame);
        const QString range = QStringLiteral("(0~255)");
        for (std::size_t n = 1; n <= 3; ++n) {
            QLineEdit *box = makeIdBox(prefix + QString::number(n), frame);
            // Three alike boxes: the frame title and the place tell them apart.
            box->setAccessibleName(title + QLatin1Char(' ') + QString::number(n));
            box->setAccessibleDescription(range);
            row->addWidget(box);
            m_ids[first + n - 1] = box;
            m_chain << box;
        }
        row->addWidget(makeLabel(range, QString(), 12, frame));
        row->addStretch(1);
        return frame;
    };
    outer->addWidget(idFrame(QStringLiteral("Frame1"), QStringLiteral("Master ID"),
                             QStringLiteral("MasterID"), 0));
    outer->addWidget(idFrame(QStringLiteral("Frame2"), QStringLiteral("Slave ID"),
                             QStringLiteral("SlaveID"), 3));

    auto *modeRow = new QHBoxLayout;
    QLabel *modeLabel =
        makeLabel(QStringLiteral("Pair Mode"), QStringLiteral("配對模式"), 12, this);
    PairMode = makeList(SettingCodec::PairMode, this);
    labelList(modeLabel, PairMode);
    modeRow->addWidget(modeLabel);
    modeRow->addWidget(PairMode, 1);
    outer->addLayout(modeRow);
    m_setting = makeSettingButton(QStringLiteral("Command4"), this);
    m_chain << PairMode << m_setting;
    outer->addWidget(m_setting, 0, Qt::AlignRight);
    outer->addStretch(1);
}

std::optional<SettingCodec::ConfigFrame> AdvancedPage::frame() const
{
    std::array<QByteArray, 6> texts;
    std::array<std::string_view, 6> views;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        texts[i] = m_ids[i]->text().toUtf8();
        views[i] = std::string_view(texts[i].constData(), std::size_t(texts[i].size()));
    }
    return SettingCodec::BuildPairFrame(PairMode->choice(), {views[0], views[1], views[2]},
                                        {views[3], views[4], views[5]});
}
