#include "ui/FrmNuboData.h"

#include "ui/Layout.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

namespace rv {

using namespace layout;
using pictures::Kind;

FrmNuboData::FrmNuboData(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmNuboData"));
    setWindowTitle(QStringLiteral("Import DataFiles"));
    setModal(true);

    auto* v = new QVBoxLayout(this);
    lblHeader = headerLabel(this);
    v->addWidget(lblHeader);
    auto* row = new QHBoxLayout;
    fraDateFormat = named(new QGroupBox(QStringLiteral("Datafile Date Format:"), this), "fraDateFormat");
    auto* formats = new QHBoxLayout(fraDateFormat);
    const char* const captions[] = {"YYYY/MM/DD", "DD/MM/YYYY", "MM/DD/YYYY"};
    for (int i = 0; i < 3; ++i) {
        optDateFormat[i] = named(new QRadioButton(QString::fromLatin1(captions[i]), fraDateFormat),
                                 indexed("optDateFormat", i));
        formats->addWidget(optDateFormat[i]);
    }
    optDateFormat[0]->setChecked(true);
    row->addWidget(fraDateFormat);
    row->addStretch();
    cmdAppend = named(new QPushButton(QStringLiteral("append"), this), "cmdAppend");
    cmdAppend->setMinimumWidth(110);
    row->addWidget(cmdAppend, 0, Qt::AlignBottom);
    v->addLayout(row);
    MSFlexGrid1 = gridView(this);
    v->addWidget(MSFlexGrid1, 1);
    markHolders(this, img_x_on, img_x_off);
    resize(1180, 620);
}

} // namespace rv
