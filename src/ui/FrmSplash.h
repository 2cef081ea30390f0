#pragma once
// The version window, shown modally by the About action.
#include <QDialog>
#include <QLabel>
#include <QPushButton>

namespace rv {

inline constexpr int kVersionMajor = 4;
inline constexpr int kVersionMinor = 2;
inline constexpr int kVersionRevision = 5;

class FrmSplash : public QDialog {
    Q_OBJECT
public:
    explicit FrmSplash(QWidget* parent = nullptr);

    QLabel* imgLogo = nullptr;
    QLabel* lblProduct = nullptr;
    QLabel* lblVersion = nullptr;
    QLabel* lblCompany = nullptr;
    QLabel* lblContact = nullptr;
    QLabel* lblOwnership = nullptr;
    QPushButton* Command1 = nullptr;   // "OK": hides the window
};

} // namespace rv
