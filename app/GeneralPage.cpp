#include "app/GeneralPage.h"

#include "app/ChoiceList.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

using namespace PageControls;

GeneralPage::GeneralPage(QWidget *parent) : SettingPage(parent)
{
    auto *outer = new QVBoxLayout(this);
    auto *frame = new QGroupBox(this);
    frame->setObjectName(QStringLiteral("Frame3"));
    auto *grid = new QGridLayout(frame);
    grid->setColumnStretch(1, 1);

    struct Row
    {
        const char *caption;
        const char *toolTip;
        const SettingCodec::ListTable &table;
        ChoiceList **list;
    };
    const Row rows[] = {
        {"Baud Rate", "鮑率", SettingCodec::baudrate, &baudrate},
        {"Parity Bit", "校驗位", SettingCodec::ParityBit, &ParityBit},
        {"Data Bit", "數據位", SettingCodec::DataBit, &DataBit},
        {"Stop Bit", "停止位", SettingCodec::StopBit, &StopBit},
        {"TimeOut", "URx未收到資料的延遲時間", SettingCodec::TimeOut, &TimeOut},
        {"Data Rate", "RF傳輸率", SettingCodec::DataRate, &DataRate},
        {"RF Channel", "發射頻段", SettingCodec::RF_Channel, &RF_Channel},
        {"RF Power", "發射功率", SettingCodec::RF_Power, &RF_Power},
        {"Data Length", "RF 傳輸封包長度", SettingCodec::DataLength, &DataLength},
    };
    int r = 0;
    for (const Row &row : rows) {
        QLabel *label =
            makeLabel(QString::fromUtf8(row.caption), QString::fromUtf8(row.toolTip), 12, frame);
        *row.list = makeList(row.table, frame);
        labelList(label, *row.list);
        grid->addWidget(label, r, 0);
        grid->addWidget(*row.list, r, 1);
        m_chain << *row.list;
        ++r;
    }
    outer->addWidget(frame);
    m_setting = makeSettingButton(QStringLiteral("Command2"), this);
    m_chain << m_setting;
    outer->addWidget(m_setting, 0, Qt::AlignRight);
    outer->addStretch(1);
}

std::optional<SettingCodec::ConfigFrame> GeneralPage::frame() const
{
    return SettingCodec::BuildGeneralFrame({
        .baudrate = baudrate->choice(),
        .dataBit = DataBit->choice(),
        .parityBit = ParityBit->choice(),
        .stopBit = StopBit->choice(),
        .timeOut = TimeOut->choice(),
        .dataRate = DataRate->choice(),
        .rfChannel = RF_Channel->choice(),
        .rfPower = RF_Power->choice(),
        .dataLength = DataLength->choice(),
    });
}
