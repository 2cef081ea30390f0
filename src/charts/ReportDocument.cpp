#include "charts/ReportDocument.h"

#include <QBuffer>
#include <QPdfWriter>
#include <QSaveFile>
#include <QTextDocumentWriter>
#include <QTextImageFormat>
#include <QUrl>

namespace rv {

namespace {
// A page's text width is about 16.5 cm: 620 pixels at 96 per inch.
constexpr double kPictureWidth = 620;

QTextCharFormat textFormat(bool bold)
{
    QTextCharFormat f;
    f.setFontFamilies({QStringLiteral("Liberation Sans"), QStringLiteral("Arial")});
    f.setFontPointSize(11);
    f.setFontWeight(bold ? QFont::Bold : QFont::Normal);
    return f;
}
}

ReportDocument::ReportDocument(const ReportHeader& h) : m_cursor(&m_doc)
{
    QFont f(QStringLiteral("Liberation Sans"));
    f.setStyleHint(QFont::SansSerif);
    f.setPointSize(11);
    m_doc.setDefaultFont(f);

    m_cursor.setCharFormat(textFormat(true));
    newParagraph();
    type(QStringLiteral("REPORT ") + h.instrumentId);
    newParagraph();
    m_cursor.setCharFormat(textFormat(false));
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

void ReportDocument::beginPage(const QString& heading)
{
    // The page break goes before the heading's paragraph: the current (empty) paragraph
    // becomes the first of the new page.
    QTextBlockFormat block = m_cursor.blockFormat();
    block.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
    m_cursor.setBlockFormat(block);
    type(heading);
    newParagraph();
}

void ReportDocument::addNoChart(const QString& heading, const QString& reason)
{
    beginPage(heading);
    type(reason);
    newParagraph();
    type(QStringLiteral("   Notes:"));
    newParagraph();
}

void ReportDocument::addChart(const QString& heading, const QImage& picture)
{
    beginPage(heading);
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
    // Written to memory first: the writer leaks its zip state when it cannot open the file,
    // and a save file leaves no half-written report behind.
    QBuffer odf;
    QTextDocumentWriter writer(&odf, "odf");
    if (!writer.write(&m_doc))
        return false;
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(odf.data()) == odf.size() && file.commit();
}

bool ReportDocument::writePdf(const QString& path)
{
    QBuffer pdf;
    pdf.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&pdf);
        writer.setPageSize(QPageSize(QPageSize::A4));
        // Printing gives the page 2 cm margins of its own: the picture's 16.5 cm fit between them.
        writer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
        writer.setCreator(QStringLiteral("Rockvista"));
        m_doc.print(&writer);
    } // the writer finishes the file when it goes
    QSaveFile file(path);
    return pdf.size() > 0 && file.open(QIODevice::WriteOnly) && file.write(pdf.data()) == pdf.size() && file.commit();
}

} // namespace rv
