#include "app/Manual.h"

#include <QFile>
#include <QFileInfo>
#include <QPdfWriter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextTable>

namespace rv {

namespace {

// Markdown tables come without rules; a printed manual needs them.
void ruleTables(QTextFrame* frame)
{
    for (QTextFrame* child : frame->childFrames()) {
        if (auto* table = qobject_cast<QTextTable*>(child)) {
            QTextTableFormat format = table->format();
            format.setBorder(1);
            format.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
            format.setBorderBrush(QColor(0x88, 0x88, 0x88));
            format.setBorderCollapse(true);
            format.setCellPadding(3);
            format.setCellSpacing(0);
            table->setFormat(format);
        }
        ruleTables(child);
    }
}

// Code blocks (file lines, formulas) keep their lines whole, in a slightly smaller type.
void keepCodeLines(QTextDocument& document)
{
    QTextCursor cursor(&document);
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        if (!block.blockFormat().hasProperty(QTextFormat::BlockCodeFence)
            && !block.blockFormat().hasProperty(QTextFormat::BlockCodeLanguage)
            && !block.charFormat().fontFixedPitch())
            continue;
        cursor.setPosition(block.position());
        cursor.setPosition(block.position() + block.length() - 1, QTextCursor::KeepAnchor);
        QTextBlockFormat format = block.blockFormat();
        format.setNonBreakableLines(true);
        cursor.setBlockFormat(format);
        QTextCharFormat chars;
        chars.setFontPointSize(8.5);
        cursor.mergeCharFormat(chars);
    }
}

} // namespace

bool writeManualPdf(const QString& path)
{
    QFile source(QStringLiteral(":/docs/manual.md"));
    if (!source.open(QIODevice::ReadOnly))
        return false;
    QTextDocument document;
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSizeF(10);
    document.setDefaultFont(font);
    document.setMarkdown(QString::fromUtf8(source.readAll()));
    ruleTables(document.rootFrame());
    keepCodeLines(document);

    const QFileInfo info(path);
    const QString partial = info.absolutePath() + QStringLiteral("/.") + info.fileName() + QStringLiteral(".part");
    {
        QPdfWriter writer(partial);
        writer.setTitle(QStringLiteral("Rockvista g-STAY \u2014 User Manual"));
        writer.setCreator(QStringLiteral("Rockvista"));
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageMargins(QMarginsF(18, 16, 18, 16), QPageLayout::Millimeter);
        writer.setResolution(300);
        document.print(&writer);
    }
    if (QFileInfo(partial).size() == 0) {
        QFile::remove(partial);
        return false;
    }
    QFile::remove(path);
    if (!QFile::rename(partial, path)) {
        QFile::remove(partial);
        return false;
    }
    return true;
}

} // namespace rv
