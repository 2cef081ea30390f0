#pragma once
// The reading deletion window: the current reading, a date range, or every reading.
#include "ui/Pickers.h"

#include <QDialog>
#include <QLabel>
#include <QPushButton>

namespace rv {

class FrmBatchDel : public QDialog {
    Q_OBJECT
public:
    // The result of exec(): which button closed the window.
    enum Choice { Cancelled = 0, Single = 1, Range = 2, All = 3 };

    explicit FrmBatchDel(QWidget* parent = nullptr);

    Calendar* DelStart = nullptr;
    Calendar* DelEnd = nullptr;
    QPushButton* OKButton = nullptr;       // "BATCH DELETE"
    QLabel* lblRange = nullptr;            // beside it: what it will delete
    QPushButton* cmdSingleDel = nullptr;   // "DELETE"
    QPushButton* Command1 = nullptr;       // "DELETE ALL"
    QPushButton* CancelButton = nullptr;   // "CANCEL"
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label6 = nullptr;
    QLabel* Label7 = nullptr;
    QLabel* Label8 = nullptr;
    QLabel* Label9 = nullptr;

protected:
    bool event(QEvent* event) override;
};

} // namespace rv
