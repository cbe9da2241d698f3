// "Каналы осциллограммы": which channels of a record from another device are the voltages and
// currents of phases A, B and C. Opens with the guess by name, phase and unit; "OK" stays
// disabled until at least one phase has both its voltage and its current.
#pragma once

#include "documents/record_channels.hpp"

#include <QDialog>

#include <array>

class QComboBox;
class QDialogButtonBox;

namespace torl7 {

class ChannelMapDialog : public QDialog {
    Q_OBJECT
public:
    ChannelMapDialog(const ComtradeRecord& record, const ChannelMap& guess,
                     QWidget* parent = nullptr);

    ChannelMap map() const;

    // cmb_map_Ua .. cmb_map_Ic: item 0 "нет", then the record's analog channels in order.
    std::array<QComboBox*, 6> roles{};
    QDialogButtonBox* buttons = nullptr;

private:
    void followChoice();
};

} // namespace torl7
