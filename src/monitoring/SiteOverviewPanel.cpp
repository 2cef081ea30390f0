#include "monitoring/SiteOverviewPanel.h"

#include "monitoring/StatusColours.h"
#include "sensors/SensorBox.h"
#include "sensors/SensorForm.h"
#include "sensors/SensorSets.h"
#include "ui/Hooks.h"
#include "ui/FrmOverview.h"
#include "ui/FrmRockvista.h"
#include "ui/Widgets.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QScrollBar>
#include <numeric>

namespace rv {

OverviewModel::OverviewModel(QVector<OverviewRow> rows, QObject* parent)
    : QAbstractTableModel(parent), m_rows(std::move(rows)), m_order(m_rows.size())
{
    std::iota(m_order.begin(), m_order.end(), 0);
}

int OverviewModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : std::max<int>(1, m_rows.size());
}

int OverviewModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : OverviewColumns; }

QString OverviewModel::instrumentIdAt(int row) const { return row >= 0 && row < m_rows.size() ? rowAt(row).instrumentId : QString(); }

QVariant OverviewModel::data(const QModelIndex& index, int role) const
{
    if (m_rows.isEmpty())
        return role == Qt::DisplayRole && index.column() == 0 ? QVariant(QStringLiteral("No sensors")) : QVariant();
    const OverviewRow& r = rowAt(index.row());
    const int c = index.column();
    switch (role) {
    case Qt::DisplayRole: return overviewCell(r, c);
    case Qt::ToolTipRole: return c == ColStatus ? QVariant(r.status.figures()) : QVariant();
    case Qt::TextAlignmentRole:
        return c >= ColReadings && c != ColLast && c != ColStatus ? QVariant(int(Qt::AlignRight | Qt::AlignVCenter)) : QVariant();
    case Qt::BackgroundRole:
        if (c == ColStatus)
            return statusBackground(r.status.state);
        if (c == ColDays && r.daysSince > kOverdueDays)
            return amberColour();
        return {};
    case Qt::ForegroundRole:
        return c == ColStatus ? QVariant(statusForeground(r.status.state)) : QVariant();
    default: return {};
    }
}

QVariant OverviewModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    return overviewHeadings().value(section);
}

void OverviewModel::sort(int column, Qt::SortOrder order)
{
    if (m_rows.isEmpty())
        return;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QVector<int> before = m_order;
    sortOverview(m_rows, m_order, column, order == Qt::AscendingOrder);
    // The current and selected rows stay on their sensors.
    QVector<int> shownAt(m_order.size());
    for (int i = 0; i < m_order.size(); ++i)
        shownAt[m_order[i]] = i;
    const QModelIndexList from = persistentIndexList();
    QModelIndexList to;
    to.reserve(from.size());
    for (const QModelIndex& i : from)
        to << index(shownAt[before[i.row()]], i.column());
    changePersistentIndexList(from, to);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

SiteOverviewPanel::SiteOverviewPanel(AppState& state, FrmRockvista& form, SensorForm& sensorForm,
                                     std::function<void()> removeFilter)
    : m_state(state), m_form(form), m_sensorForm(sensorForm), m_removeFilter(std::move(removeFilter))
{
    connect(form.imgOverview, &ImageButton::clicked, this, &SiteOverviewPanel::imgOverview_Click);
    connect(form.lblOverview, &ClickLabel::clicked, this, &SiteOverviewPanel::imgOverview_Click);
}

void SiteOverviewPanel::imgOverview_Click()
{
    if (!m_state.db)
        return;
    QVector<OverviewRow> rows;
    if (!trap(m_state, " imgOverview_Click", [&] { rows = siteOverview(*m_state.db, m_state.clock().today()); }))
        return;
    FrmOverview window(&m_form);
    auto* model = new OverviewModel(std::move(rows), &window);
    QTableView* grid = window.grdOverview;
    grid->setModel(model);
    grid->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder); // register order until asked
    grid->resizeColumnsToContents();
    // Every column whole: the longest status sets its column, the window fits the columns.
    const int statusWidth = grid->fontMetrics().horizontalAdvance(boltStateText(BoltState::Ultimate)) + 24;
    grid->setColumnWidth(ColStatus, std::max(grid->columnWidth(ColStatus), statusWidth));
    int width = 0;
    for (int c = 0; c < OverviewColumns; ++c)
        width += grid->columnWidth(c);
    window.resize(std::max(window.width(), width + grid->verticalScrollBar()->sizeHint().width() + 40), window.height());
    const auto choose = [&](const QModelIndex& index) {
        const QString id = model->instrumentIdAt(index.row());
        if (!id.isEmpty() && moveTo(id))
            window.accept();
    };
    connect(grid, &QTableView::doubleClicked, &window, choose);
    onKeyPress(grid, [&](QKeyEvent* key) {
        if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter)
            return true;
        choose(grid->currentIndex());
        return false;
    });
    window.exec();
}

bool SiteOverviewPanel::moveTo(const QString& instrumentId)
{
    bool moved = false;
    trap(m_state, " SiteOverview.moveTo", [&] {
        RecordSet& reg = sensorRegister(m_state);
        if (!m_sensorForm.savefields())
            return;
        const qint64 shown = reg.bookmark();
        reg.moveFirst();
        if (!reg.find(sensorField::instrumentId, instrumentId)) {
            // Hidden by the filter: the overview lists the whole register, so the filter goes
            // (as its button does, from the sensor shown).
            reg.setBookmark(shown);
            m_removeFilter();
            reg.moveFirst();
            if (!reg.find(sensorField::instrumentId, instrumentId))
                return;
        }
        m_sensorForm.fillfields();
        showCurrentInBox(*m_form.cboSensors, reg);
        m_form.txtSCount->setText(QString::number(reg.recordCount()));
        moved = true;
    });
    return moved;
}

} // namespace rv
