#pragma once

#include "app/PageControls.h"

#include <array>

class ChoiceList;
class QLineEdit;

// "Advanced": the pairing, three master and three slave IDs and the mode.
class AdvancedPage final : public SettingPage
{
    Q_OBJECT

public:
    explicit AdvancedPage(QWidget *parent = nullptr);
    [[nodiscard]] std::optional<SettingCodec::ConfigFrame> frame() const override;

private:
    // MasterID1..3, then SlaveID1..3.
    std::array<QLineEdit *, 6> m_ids{};
    ChoiceList *PairMode = nullptr;
};
