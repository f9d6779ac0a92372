#pragma once

#include "app/PageControls.h"

class ChoiceList;

// "General": the dongle's serial line and radio, nine lists.
class GeneralPage final : public SettingPage
{
    Q_OBJECT

public:
    explicit GeneralPage(QWidget *parent = nullptr);
    [[nodiscard]] std::optional<SettingCodec::ConfigFrame> frame() const override;

private:
    ChoiceList *baudrate = nullptr;
    ChoiceList *ParityBit = nullptr;
    ChoiceList *DataBit = nullptr;
    ChoiceList *StopBit = nullptr;
    ChoiceList *TimeOut = nullptr;
    ChoiceList *DataRate = nullptr;
    ChoiceList *RF_Channel = nullptr;
    ChoiceList *RF_Power = nullptr;
    ChoiceList *DataLength = nullptr;
};
