#include "ui/FrmDatasheet.h"

#include "ui/Layout.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

namespace rv {

using namespace layout;
using pictures::Kind;

FrmDatasheet::FrmDatasheet(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmDatasheet"));
    setWindowTitle(QStringLiteral("Rockvista DataSheet"));
    setModal(true);

    auto* v = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    lblHeader = headerLabel(this);
    top->addWidget(lblHeader, 1);
    Image1 = named(new ImageButton(pictures::make(Kind::Spreadsheet), this), "Image1");
    Image1->setToolTip(QStringLiteral("Export to spreadsheet"));
    top->addWidget(Image1);
    v->addLayout(top);
    MSFlexGrid1 = new RowWindowView(this);
    gridView(MSFlexGrid1);
    auto* grid = new QHBoxLayout;
    grid->setSpacing(0);
    grid->addWidget(MSFlexGrid1, 1);
    grid->addWidget(MSFlexGrid1->rowBar());
    v->addLayout(grid, 1);
    markHolders(this, img_x_on, img_x_off);
    resize(1180, 620);
}

void FrmDatasheet::reject()
{
    if (onQueryUnload && !onQueryUnload())
        return;
    QDialog::reject();
}

} // namespace rv
