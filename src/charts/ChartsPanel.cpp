#include "charts/ChartsPanel.h"

#include "charts/ReportDocument.h"
#include "charts/domain/Loads.h"
#include "core/Tables.h"
#include "sensors/domain/SensorStore.h"
#include "ui/FrmReport.h"
#include "ui/FrmRockvista.h"

#include <QCoreApplication>
#include <QDir>
#include <QLocale>
#include <QMouseEvent>
#include <QPainter>
#include <QTabBar>

namespace rv {

namespace {
const QString kCaption = QStringLiteral("Kelderan's Rockvista");

QChartView* viewOf(FrmRockvista& f, int tab)
{
    switch (tab) {
    case 3: return f.ChartSLong;
    case 4: return f.ChartLLong;
    case 5: return f.ChartSShort;
    case 6: return f.ChartLShort;
    default: return nullptr;
    }
}
} // namespace

ChartsPanel::ChartsPanel(AppState& state, FrmRockvista& form) : m_state(state), m_form(form)
{
    for (const ChartDef& def : chartDefs())
        m_charts[def.tab] = std::make_unique<ChartView>(def, viewOf(form, def.tab), form.lblPoint[def.tab]);

    connect(form.cmdTemp, &QPushButton::clicked, this, [this] { exportPicture(3); });
    connect(form.Command1, &QPushButton::clicked, this, [this] { exportPicture(4); });
    connect(form.Command2, &QPushButton::clicked, this, [this] { exportPicture(5); });
    connect(form.Command3, &QPushButton::clicked, this, [this] { exportPicture(6); });
    connect(form.cmdTHelp, &QPushButton::clicked, this, &ChartsPanel::ShowGraphTips);
    connect(form.imgReport, &ImageButton::clicked, this, &ChartsPanel::imgReport_Click);
    connect(form.Label46, &ClickLabel::clicked, this, &ChartsPanel::imgReport_Click);
    for (const ChartDef& def : chartDefs()) {
        const int tab = def.tab;
        // Drawn again from the readings already read: the lines change the axis, not the data.
        connect(form.chkLimits[size_t(tab)], &QCheckBox::toggled, this, [this, tab] {
            if (ChartView* cv = chart(tab); cv && cv->data() && m_form.SSTab1->currentIndex() == tab)
                ignoreErrors([&] { drawChart(tab, cv->data()); });
        });
    }
    // The series read serve every chart tab until the readings change.
    connect(&state.events, &DataEvents::readingsChanged, this, [this] { m_read.reset(); });
    connect(&state.events, &DataEvents::sessionClosing, this, [this] { m_read.reset(); });
    m_tabStrip = form.SSTab1->tabBar();
    m_tabStrip->installEventFilter(this);
}

ChartsPanel::~ChartsPanel() = default;

ChartView* ChartsPanel::chart(int tab) const
{
    return tab >= 0 && tab < int(m_charts.size()) ? m_charts[tab].get() : nullptr;
}

QString ChartsPanel::instrumentId() const
{
    if (!m_state.sensors)
        throw noCurrentRecord();
    return m_state.sensors->text(sensorField::instrumentId);
}

void ChartsPanel::enterChartTab(int tab, int previousTab)
{
    ChartView* cv = chart(tab);
    if (!cv)
        return;
    // Switching back runs the tab handler again; never let that loop.
    if (m_entering > 2)
        return;
    QChartView* view = cv->view();
    // No current sensor (an empty register, or one that could not be opened): nothing to
    // chart and nothing to tell.
    if (!m_state.sensors || m_state.sensors->bof() || m_state.sensors->eof()) {
        ignoreErrors([&] { cv->clear(); });
        return;
    }
    ++m_entering;
    ignoreErrors([&] { view->setFocus(); });
    ignoreErrors([&] { view->hide(); });

    // Whether there is anything to chart comes first, from two readings; then the pass
    // computes what it must, and only then are the series read, once for every chart tab.
    std::optional<MarkedSpan> span;
    ignoreErrors([&] { span = readGraph<MarkedSpan>([](ReadingStore& store) { return store.markedSpan(); }); });
    if (span && span->several()) {
        const bool kFailed = GetTemporalData();
        std::shared_ptr<const ChartData> data;
        ignoreErrors([&] { data = OpenGraphData(cv->plotPixels()); });
        showKFactorNotice(kFailed, data ? data->columns : ReadingColumns());
        ignoreErrors([&] { view->show(); });
        if (data)
            ignoreErrors([&] { drawChart(tab, data); });
    } else {
        ignoreErrors([&] { m_form.SSTab1->setCurrentIndex(previousTab); });
        m_state.dialogs().message(
            QStringLiteral("You must have at least 2 readings to view the plot.\n\nIf you have at least 2 readings in "
                           "the database, ensure the Plot Temporal box on the Readings Tab is checked in each case."),
            kCaption, Icon::Information);
    }
    --m_entering;
}

std::shared_ptr<const ChartData> ChartsPanel::OpenGraphData(int pixels)
{
    const QString id = instrumentId();
    // Another program's commit may have changed the readings without an event here.
    const qint64 version = m_state.db->dataVersion();
    if (m_read && m_readId == id && m_readPixels == pixels && m_readVersion == version)
        return m_read;
    const auto data = readGraph<std::shared_ptr<const ChartData>>([&](ReadingStore& store) {
        return std::make_shared<const ChartData>(readChartData(store, allChartFields(), pixels, store.markedSpan()));
    });
    m_read = data.value_or(nullptr);
    m_readId = id;
    m_readPixels = pixels;
    m_readVersion = version;
    return m_read;
}

template <class T>
std::optional<T> ChartsPanel::readGraph(const std::function<T(ReadingStore&)>& read)
{
    const QString id = instrumentId();
    ReadingStore store(*m_state.db, id);
    try {
        return read(store);
    } catch (const RvError& e) {
        // Only a table that is not there may be made anew: a locked or damaged one still holds
        // the readings, and the question that follows could drop them.
        bool missing = false;
        ignoreErrors([&] { missing = !store.tableExists(); });
        if (missing) {
            m_state.dialogs().message(QStringLiteral("The data table for Sensor ") + id
                                      + QStringLiteral(" could not be found\nA new table will be created"));
            AddDataTable(m_state, id);
        } else {
            m_state.dialogs().message(QStringLiteral("The readings of Sensor ") + id
                                          + QStringLiteral(" could not be read: ") + e.description
                                          + QStringLiteral("\nThey are left as they are."),
                                      kCaption, Icon::Exclamation);
        }
        m_state.report(e, " Module1_OpenGraphData");
    }
    return std::nullopt;
}

bool ChartsPanel::GetTemporalData()
{
    const double k = kFactorNumber(m_form.txtBoltkfactor->text());
    PassOutcome outcome;
    PassRun run;
    trap(m_state, " G_GetTemporalData", [&] {
        ReadingStore store(*m_state.db, instrumentId());
        outcome = storedPass(store, k, &run);
    });
    // One line for the pass, not one per reading: a sensor without a k factor is common, and
    // its log would grow by every reading at every opening.
    if (outcome.loadError) {
        const QByteArray label = QByteArrayLiteral(" G_SetStackedLoad: ") + QByteArray::number(outcome.loadFailures)
                                 + QByteArrayLiteral(" marked readings left without new loads");
        m_state.report(*outcome.loadError, label.constData());
    }
    return outcome.loadError.has_value();
}

void ChartsPanel::showKFactorNotice(bool kFailed, const ReadingColumns& columns)
{
    for (const ChartDef& def : chartDefs()) {
        QLabel* notice = m_form.lblNotice[size_t(def.tab)];
        if (!notice)
            continue;
        QString text;
        if (kFailed) {
            text = QStringLiteral("Loads are not computed: the k factor of this sensor is 0.");
            if (drawsLoads(def, columns))
                text += QStringLiteral(" The loads drawn are those of an earlier k factor.");
        }
        notice->setText(text);
        notice->setVisible(kFailed);
    }
}

void ChartsPanel::drawChart(int tab, std::shared_ptr<const ChartData> data)
{
    ChartView* cv = chart(tab);
    if (!cv)
        return;
    QVector<LimitLine> lines;
    if (m_form.chkLimits[size_t(tab)]->isChecked()) {
        const RecordSet& reg = *m_state.sensors;
        lines = limitLines(cv->def(), {reg.text(sensorField::elasticLimit), reg.text(sensorField::perfectPlasticLimit),
                                       reg.text(sensorField::ultimateStrength)});
    }
    cv->draw(m_state.mineId + instrumentId(), std::move(data), lines);
}

void ChartsPanel::ShowGraphTips()
{
    m_state.dialogs().message(
        QStringLiteral("1) To scroll graph hold down the left mouse button over an axis and drag to desired range\n"
                       "2) Explanation of zooming (diagonal left to right zooms in, right to left zooms out)\n"
                       "3) Click on a series in the graph to see raw data in lower annotation\n"
                       "4) Uncheck a series in the legend to hide, check series to show"),
        QStringLiteral("Graphing Tips and Hints"));
}

QString ChartsPanel::savePicture(int tab, QImage* picture)
{
    ChartView* cv = chart(tab);
    if (!cv)
        return {};
    const QString path = m_state.path(QString::fromLatin1(cv->def().picture));
    // A chart drawn a moment ago lays its axes out on posted events: let them run first.
    QCoreApplication::sendPostedEvents();
    QImage image = cv->view()->grab().toImage();
    // A load chart leaves the program with what the user is told about its loads.
    if (QLabel* notice = m_form.lblNotice[size_t(tab)]; notice && !notice->isHidden()) {
        const QFontMetrics fm(notice->font());
        const int margin = 8;
        QImage both(image.width(), image.height() + fm.height() + 2 * margin, image.format());
        both.fill(Qt::white);
        QPainter p(&both);
        p.drawImage(0, 0, image);
        p.setFont(notice->font());
        p.setPen(notice->palette().color(QPalette::WindowText));
        p.drawText(QRect(margin, image.height() + margin, image.width() - 2 * margin, fm.height()),
                   Qt::AlignLeft | Qt::AlignVCenter, fm.elidedText(notice->text(), Qt::ElideRight, image.width() - 2 * margin));
        p.end();
        image = both;
    }
    if (picture)
        *picture = image;
    return image.save(path, "JPG") ? path : QString();
}

void ChartsPanel::exportPicture(int tab)
{
    ChartView* cv = chart(tab);
    if (!cv)
        return;
    const QString path = savePicture(tab);
    if (path.isEmpty()) {
        m_state.dialogs().message(QStringLiteral("The picture could not be written to ")
                                      + QDir::toNativeSeparators(m_state.path(QString::fromLatin1(cv->def().picture))),
                                  kCaption, Icon::Exclamation);
        return;
    }
    m_state.desktop().open(path);
}

void ChartsPanel::imgReport_Click()
{
    if (!m_report) {
        m_report = new FrmReport(&m_form);
        for (QCheckBox* c : {m_report->chkTemp, m_report->chkRate, m_report->chkSpatial, m_report->chkDvL})
            c->setChecked(true);
    }
    FrmReport& r = *m_report;
    const QCheckBox* boxes[] = {r.chkTemp, r.chkRate, r.chkSpatial, r.chkDvL};
    // Closing the window by its frame counts as Cancel.
    if (r.exec() == QDialog::Accepted) {
        m_reportOK = true;
        for (int i = 0; i < 4; ++i)
            m_reportOptions[size_t(i)] = boxes[i]->isChecked();
    } else {
        m_reportOK = false;
    }
    if (!m_reportOK)
        return;
    const bool pdf = r.optPdf->isChecked();

    ReportHeader h;
    ignoreErrors([&] {
        const RecordSet& reg = *m_state.sensors;
        h.instrumentId = reg.text(sensorField::instrumentId);
        h.family = reg.text(sensorField::family);
        h.model = reg.text(sensorField::model);
        h.installDate = reg.text(sensorField::installDate);
        h.installBy = reg.text(sensorField::installBy);
        h.level = reg.text(sensorField::level);
        h.location = reg.text(sensorField::location);
        h.purpose = reg.text(sensorField::purpose);
        h.notes = reg.text(sensorField::notes);
    });
    const QDateTime now = m_state.clock().now();
    h.date = QLocale::system().toString(now.date(), QLocale::ShortFormat);
    ReportDocument doc(h);

    for (int i = 0; i < 4; ++i) {
        if (!m_reportOptions[size_t(i)])
            continue;
        const ChartDef& def = chartDefs()[i];
        const QString heading = QString::fromLatin1(def.heading);
        m_form.SSTab1->setCurrentIndex(def.tab);
        // A refused tab switched back: its chart is another sensor's or none, never this one's.
        if (m_form.SSTab1->currentIndex() != def.tab) {
            doc.addNoChart(heading, QStringLiteral("No chart: fewer than 2 readings of sensor ") + h.instrumentId
                                        + QStringLiteral(" are marked for the time charts."));
            continue;
        }
        QImage picture;
        savePicture(def.tab, &picture);
        doc.addChart(heading, picture);
    }

    const QString folder = m_state.path(QStringLiteral("Reports"));
    const QString path = folder + QStringLiteral("/Report ") + h.instrumentId + QLatin1Char(' ')
                         + now.toString(QStringLiteral("yyyy-MM-dd HHmmss"))
                         + (pdf ? QStringLiteral(".pdf") : QStringLiteral(".odt"));
    if (!QDir().mkpath(folder) || !(pdf ? doc.writePdf(path) : doc.write(path))) {
        m_state.dialogs().message(QStringLiteral("The report could not be written to ") + QDir::toNativeSeparators(path),
                                  kCaption, Icon::Exclamation);
    } else if (!m_state.desktop().openDocument(path)) {
        m_state.dialogs().message(QStringLiteral("The report was written to ") + QDir::toNativeSeparators(path)
                                      + QStringLiteral("\nbut no program could open it."),
                                  kCaption, Icon::Exclamation);
    }
    if (m_form.SSTab1->currentIndex() != 2)
        m_form.SSTab1->setCurrentIndex(2);
}

bool ChartsPanel::eventFilter(QObject* watched, QEvent* event)
{
    // A press on the tab strip while a chart tab other than the last is shown closes the
    // readings; the readings tab reopens them.
    if (event->type() == QEvent::MouseButtonPress && watched == m_tabStrip) {
        const int tab = m_form.SSTab1->currentIndex();
        if (tab >= 3 && tab <= 5)
            ignoreErrors([&] { m_state.readings.reset(); });
    }
    return false;
}

} // namespace rv
