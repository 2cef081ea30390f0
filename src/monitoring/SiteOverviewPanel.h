#pragma once
// The site overview: opened from the sensor selection frame; a double-click or Enter on a row
// makes that sensor the shown one.
#include "core/State.h"
#include "monitoring/domain/SiteOverview.h"

#include <QAbstractTableModel>
#include <QObject>
#include <functional>

namespace rv {

class FrmRockvista;
class SensorForm;

class OverviewModel : public QAbstractTableModel {
public:
    explicit OverviewModel(QVector<OverviewRow> rows, QObject* parent = nullptr);
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    void sort(int column, Qt::SortOrder order) override;
    // The sensor of a row; empty for the "No sensors" line.
    QString instrumentIdAt(int row) const;

private:
    const OverviewRow& rowAt(int row) const { return m_rows[m_order[row]]; }

    QVector<OverviewRow> m_rows; // in register order
    QVector<int> m_order;        // the rows as shown: sorting moves positions, not rows
};

class SiteOverviewPanel : public QObject {
    Q_OBJECT
public:
    // removeFilter switches the register's filter off, as its button does.
    SiteOverviewPanel(AppState& state, FrmRockvista& form, SensorForm& sensorForm, std::function<void()> removeFilter);
    void imgOverview_Click();

private:
    // Saves the shown sensor and shows the chosen one; false when the save was refused.
    bool moveTo(const QString& instrumentId);

    AppState& m_state;
    FrmRockvista& m_form;
    SensorForm& m_sensorForm;
    std::function<void()> m_removeFilter;
};

} // namespace rv
