#include "ui/FrmSplash.h"

#include "ui/Layout.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

namespace rv {

using namespace layout;

namespace {

// A rock bolt through a layer of rock, with its gauges marked.
QPixmap logo()
{
    QPixmap pixmap(120, 120);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath rock;
    rock.moveTo(6, 30);
    rock.lineTo(40, 18);
    rock.lineTo(80, 26);
    rock.lineTo(114, 14);
    rock.lineTo(114, 106);
    rock.lineTo(70, 112);
    rock.lineTo(30, 102);
    rock.lineTo(6, 110);
    rock.closeSubpath();
    p.setPen(QPen(QColor(0x6b, 0x5a, 0x48), 2));
    p.setBrush(QColor(0xb8, 0xa4, 0x8c));
    p.drawPath(rock);
    p.setPen(QPen(QColor(0x40, 0x40, 0x40), 1));
    p.setBrush(QColor(0x9a, 0xa4, 0xae));
    p.drawRect(QRectF(54, 8, 12, 104));
    p.setBrush(QColor(0x40, 0x40, 0x40));
    p.drawRect(QRectF(44, 104, 32, 8));
    p.setBrush(QColor(0xd0, 0x32, 0x32));
    for (int y : {22, 44, 66, 88})
        p.drawEllipse(QPointF(60, y), 4.5, 4.5);
    return pixmap;
}

} // namespace

FrmSplash::FrmSplash(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmSplash"));
    setWindowTitle(QStringLiteral("About Rockvista g-STAY"));
    setModal(true);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(20, 20, 20, 16);
    row->setSpacing(20);
    imgLogo = named(new QLabel(this), "imgLogo");
    imgLogo->setPixmap(logo());
    imgLogo->setAlignment(Qt::AlignTop);
    row->addWidget(imgLogo);

    auto* v = new QVBoxLayout;
    lblProduct = named(new QLabel(QStringLiteral("Rockvista g-STAY"), this), "lblProduct");
    QFont big = lblProduct->font();
    big.setPointSizeF(big.pointSizeF() * 1.8);
    big.setBold(true);
    lblProduct->setFont(big);
    v->addWidget(lblProduct);
    lblVersion = named(new QLabel(QStringLiteral("Version %1.%2.%3")
                                      .arg(kVersionMajor)
                                      .arg(kVersionMinor)
                                      .arg(kVersionRevision),
                                  this),
                       "lblVersion");
    v->addWidget(lblVersion);
    v->addSpacing(10);
    lblCompany = named(new QLabel(QStringLiteral("Kelderan Geotechnical Instruments"), this), "lblCompany");
    QFont bold = lblCompany->font();
    bold.setBold(true);
    lblCompany->setFont(bold);
    v->addWidget(lblCompany);
    lblContact = named(new QLabel(QStringLiteral("Instrumented rock bolts and monitoring software\n"
                                                 "Support: support@kelderan.example\n"
                                                 "Web: www.kelderan.example"),
                                  this),
                       "lblContact");
    v->addWidget(lblContact);
    v->addSpacing(10);
    lblOwnership = named(new QLabel(QStringLiteral("Copyright \u00a9 Kelderan. All rights reserved.\n"
                                                   "This program is the property of Kelderan."),
                                    this),
                         "lblOwnership");
    v->addWidget(lblOwnership);
    v->addStretch();
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    Command1 = named(new QPushButton(QStringLiteral("OK"), this), "Command1");
    Command1->setDefault(true);
    Command1->setMinimumWidth(90);
    buttons->addWidget(Command1);
    v->addLayout(buttons);
    row->addLayout(v);

    connect(Command1, &QPushButton::clicked, this, &QDialog::accept);
}

} // namespace rv
