#include "app/Advanced2Page.h"

#include "app/ChoiceList.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

using namespace PageControls;

Advanced2Page::Advanced2Page(QWidget *parent) : SettingPage(parent)
{
    auto *outer = new QVBoxLayout(this);
    auto *frame = new QGroupBox(this);
    frame->setObjectName(QStringLiteral("Frame4"));
    auto *row = new QHBoxLayout(frame);
    QLabel *label = makeLabel(QStringLiteral("Receive Timeout"),
                              QStringLiteral("RF 接收端延遲時間"), 12, frame);
    ReceiveTimeout = makeList(SettingCodec::ReceiveTimeout, frame);
    labelList(label, ReceiveTimeout);
    row->addWidget(label);
    row->addWidget(ReceiveTimeout, 1);
    outer->addWidget(frame);
    m_setting = makeSettingButton(QStringLiteral("Command7"), this);
    m_chain << ReceiveTimeout << m_setting;
    outer->addWidget(m_setting, 0, Qt::AlignRight);
    outer->addStretch(1);
}

std::optional<SettingCodec::ConfigFrame> Advanced2Page::frame() const
{
    return SettingCodec::BuildReceiveTimeoutFrame(ReceiveTimeout->choice());
}
