#include "ui/FrmReport.h"

#include "ui/Layout.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

namespace rv {

using namespace layout;

FrmReport::FrmReport(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmReport"));
    setWindowTitle(QStringLiteral("Rockvista Reporting"));
    setModal(true);

    auto* v = new QVBoxLayout(this);
    fraPlots = named(new QGroupBox(QStringLiteral("Plots:"), this), "fraPlots");
    auto* pv = new QVBoxLayout(fraPlots);
    lblSelect = named(new QLabel(QStringLiteral("Select the contents to include in the report:"), fraPlots),
                      "lblSelect");
    pv->addWidget(lblSelect);
    auto box = [&](QCheckBox*& member, const char* name, const char* caption) {
        member = named(new QCheckBox(QString::fromLatin1(caption), fraPlots), name);
        pv->addWidget(member);
    };
    box(chkTemp, "chkTemp", "Load v Time");
    box(chkRate, "chkRate", "Disp v Time");
    box(chkSpatial, "chkSpatial", "Load v Length");
    box(chkDvL, "chkDvL", "Disp v Length");
    v->addWidget(fraPlots);
    fraFormat = named(new QGroupBox(QStringLiteral("Format:"), this), "fraFormat");
    auto* fv = new QVBoxLayout(fraFormat);
    optOdt = named(new QRadioButton(QStringLiteral("OpenDocument (editable)"), fraFormat), "optOdt");
    optPdf = named(new QRadioButton(QStringLiteral("PDF"), fraFormat), "optPdf");
    optOdt->setChecked(true);
    fv->addWidget(optOdt);
    fv->addWidget(optPdf);
    v->addWidget(fraFormat);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    cmdOK = named(new QPushButton(QStringLiteral("OK"), this), "cmdOK");
    cmdOK->setDefault(true);
    cmdCancel = named(new QPushButton(QStringLiteral("Cancel"), this), "cmdCancel");
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    v->addLayout(buttons);

    connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
}

} // namespace rv
