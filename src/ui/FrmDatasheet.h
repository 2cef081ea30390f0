#pragma once
// The datasheet window: every reading of the current sensor in an editable grid.
#include "ui/RowWindowView.h"
#include "ui/Widgets.h"

#include <QDialog>
#include <QTableView>
#include <functional>

namespace rv {

class FrmDatasheet : public QDialog {
    Q_OBJECT
public:
    explicit FrmDatasheet(QWidget* parent = nullptr);

    // Asked before the window closes (frame, Escape); false keeps it open.
    std::function<bool()> onQueryUnload;
    void reject() override;

    QLabel* lblHeader = nullptr;
    RowWindowView* MSFlexGrid1 = nullptr; // the model is set by the datasheet's handlers
    ImageButton* Image1 = nullptr;       // export to a spreadsheet
    QLabel* img_x_on = nullptr;          // hidden holders of the flag pictures
    QLabel* img_x_off = nullptr;
};

} // namespace rv
