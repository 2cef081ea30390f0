#include "ui/FrmOverview.h"

#include "ui/Layout.h"
#include "ui/Widgets.h"

#include <QHeaderView>
#include <QVBoxLayout>

namespace rv {

using namespace layout;

FrmOverview::FrmOverview(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmOverview"));
    setWindowTitle(QStringLiteral("Site Overview"));
    setModal(true);
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(12, 12, 12, 12);
    grdOverview = gridView(this);
    grdOverview->setObjectName(QStringLiteral("grdOverview"));
    grdOverview->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdOverview->setSortingEnabled(true);
    grdOverview->horizontalHeader()->setSortIndicatorShown(true);
    grdOverview->horizontalHeader()->setStretchLastSection(true);
    v->addWidget(grdOverview);
    resize(1100, 560);
}

} // namespace rv
