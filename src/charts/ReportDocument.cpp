#include "charts/ReportDocument.h"

#include <QTextDocumentWriter>
#include <QTextImageFormat>
#include <QUrl>

namespace rv {

namespace {
// A page's text width is about 16.5 cm; pictures are scaled to it (the writer counts points).
constexpr double kPictureWidth = 470;
}

ReportDocument::ReportDocument(const ReportHeader& h) : m_cursor(&m_doc)
{
    QFont f(QStringLiteral("Liberation Sans"));
    f.setStyleHint(QFont::SansSerif);
    f.setPointSize(11);
    m_doc.setDefaultFont(f);

    QTextCharFormat bold;
    bold.setFontWeight(QFont::Bold);
    m_cursor.setCharFormat(bold);
    newParagraph();
    type(QStringLiteral("REPORT ") + h.instrumentId);
    newParagraph();
    QTextCharFormat plain;
    plain.setFontWeight(QFont::Normal);
    m_cursor.setCharFormat(plain);
    newParagraph();
    const std::pair<const char*, const QString*> lines[] = {
        {"   Date: ", &h.date},
        {"   Sensor Number: ", &h.instrumentId},
        {"   Date Installed: ", &h.installDate},
        {"   Installed By: ", &h.installBy},
        {"   Level: ", &h.level},
        {"   Location: ", &h.location},
        {"   Purpose: ", &h.purpose},
        {"   Notes: ", &h.notes},
    };
    for (const auto& [label, value] : lines) {
        type(QString::fromLatin1(label) + *value);
        newParagraph();
        if (value == &h.instrumentId) {
            type(QStringLiteral("   Sensor Type: ") + h.family + QLatin1Char(' ') + h.model);
            newParagraph();
        }
    }
}

void ReportDocument::newParagraph() { m_cursor.insertBlock(QTextBlockFormat(), m_cursor.charFormat()); }

void ReportDocument::addChart(const QString& heading, const QImage& picture)
{
    // The page break goes before the heading's paragraph: the current (empty) paragraph
    // becomes the first of the new page.
    QTextBlockFormat block = m_cursor.blockFormat();
    block.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
    m_cursor.setBlockFormat(block);
    type(heading);
    newParagraph();
    const QString name = QStringLiteral("chart%1.png").arg(++m_charts);
    m_doc.addResource(QTextDocument::ImageResource, QUrl(name), picture);
    QTextImageFormat image;
    image.setName(name);
    if (!picture.isNull()) {
        image.setWidth(kPictureWidth);
        image.setHeight(kPictureWidth * picture.height() / std::max(1, picture.width()));
    }
    m_cursor.insertImage(image);
    type(QStringLiteral("   Notes:"));
    newParagraph();
}

bool ReportDocument::write(const QString& path)
{
    QTextDocumentWriter writer(path, "odf");
    return writer.write(&m_doc);
}

} // namespace rv
