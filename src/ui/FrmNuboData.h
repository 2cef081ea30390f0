#pragma once
// The readout import window: the lines of a readout file with their Append marks.
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <array>

namespace rv {

class FrmNuboData : public QDialog {
    Q_OBJECT
public:
    explicit FrmNuboData(QWidget* parent = nullptr);

    QLabel* lblHeader = nullptr;
    QGroupBox* fraDateFormat = nullptr;            // "Datafile Date Format:"
    std::array<QRadioButton*, 3> optDateFormat{};  // 0 "YYYY/MM/DD", 1 "DD/MM/YYYY", 2 "MM/DD/YYYY"
    QTableView* MSFlexGrid1 = nullptr;             // the model is set by the import's handlers
    QPushButton* cmdAppend = nullptr;              // "append"
    QLabel* img_x_on = nullptr;                    // hidden holders of the mark pictures
    QLabel* img_x_off = nullptr;
};

} // namespace rv
