#pragma once

#include "app/PageControls.h"

class ChoiceList;

// "Advanced 2": the radio receiver's delay.
class Advanced2Page final : public SettingPage
{
    Q_OBJECT

public:
    explicit Advanced2Page(QWidget *parent = nullptr);
    [[nodiscard]] std::optional<SettingCodec::ConfigFrame> frame() const override;

private:
    ChoiceList *ReceiveTimeout = nullptr;
};
