#pragma once
// The report as a word processor would type it: the bold header line, the sensor's data, then
// per chart a page with its heading, its picture and a line for notes.
#include <QImage>
#include <QString>
#include <QTextCursor>
#include <QTextDocument>

namespace rv {

struct ReportHeader {
    QString instrumentId, date, family, model, installDate, installBy, level, location, purpose, notes;
};

class ReportDocument {
public:
    explicit ReportDocument(const ReportHeader& header);
    void addChart(const QString& heading, const QImage& picture);
    // A chart page whose chart could not be drawn: the heading and, for the picture, why.
    void addNoChart(const QString& heading, const QString& reason);
    // Writes an OpenDocument text file; false when it could not be written.
    bool write(const QString& path);
    // Writes the same document as a PDF of A4 pages; false when it could not be written.
    bool writePdf(const QString& path);
    const QTextDocument& document() const { return m_doc; }
    int charts() const { return m_charts; }

private:
    void type(const QString& text) { m_cursor.insertText(text); }
    void newParagraph();
    void beginPage(const QString& heading);

    QTextDocument m_doc;
    QTextCursor m_cursor;
    int m_charts = 0;
};

} // namespace rv
