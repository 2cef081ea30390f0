#pragma once
// The site overview window: every sensor of the register in one grid.
#include <QDialog>
#include <QTableView>

namespace rv {

class FrmOverview : public QDialog {
    Q_OBJECT
public:
    explicit FrmOverview(QWidget* parent = nullptr);

    QTableView* grdOverview = nullptr;
};

} // namespace rv
