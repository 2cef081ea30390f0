#include "ui/RealSeams.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QUrl>

namespace rv {

namespace {

QMessageBox::Icon boxIcon(Icon icon)
{
    switch (icon) {
    case Icon::Information: return QMessageBox::Information;
    case Icon::Exclamation:
    case Icon::Warning: return QMessageBox::Warning;
    case Icon::Critical: return QMessageBox::Critical;
    case Icon::Question: return QMessageBox::Question;
    case Icon::None: break;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButton standard(Answer answer)
{
    switch (answer) {
    case Answer::OK: return QMessageBox::Ok;
    case Answer::Cancel: return QMessageBox::Cancel;
    case Answer::Yes: return QMessageBox::Yes;
    case Answer::No: return QMessageBox::No;
    }
    return QMessageBox::Ok;
}

bool isWebAddress(const QString& text)
{
    const QUrl url(text);
    const QString scheme = url.scheme().toLower();
    return scheme == QLatin1String("http") || scheme == QLatin1String("https") || scheme == QLatin1String("mailto")
           || text.startsWith(QLatin1String("www."), Qt::CaseInsensitive);
}

} // namespace

void RealDialogs::showMessage(const QString& text, const QString& caption, Icon icon)
{
    QMessageBox box(boxIcon(icon), caption, text, QMessageBox::Ok, m_parent);
    box.exec();
}

Answer RealDialogs::askQuestion(const QString& text, const QString& caption, Icon icon, Buttons buttons,
                                Answer defaultButton)
{
    QMessageBox::StandardButtons set = QMessageBox::Ok;
    Answer onEscape = Answer::OK;
    switch (buttons) {
    case Buttons::OK: break;
    case Buttons::OKCancel:
        set = QMessageBox::Ok | QMessageBox::Cancel;
        onEscape = Answer::Cancel;
        break;
    case Buttons::YesNo:
        set = QMessageBox::Yes | QMessageBox::No;
        onEscape = Answer::No;
        break;
    }
    QMessageBox box(boxIcon(icon), caption, text, set, m_parent);
    if (set.testFlag(standard(defaultButton)))
        box.setDefaultButton(standard(defaultButton));
    box.setEscapeButton(standard(onEscape));
    switch (box.exec()) {
    case QMessageBox::Ok: return Answer::OK;
    case QMessageBox::Cancel: return Answer::Cancel;
    case QMessageBox::Yes: return Answer::Yes;
    case QMessageBox::No: return Answer::No;
    default: return onEscape;
    }
}

QString RealDialogs::input(const QString& prompt, const QString& title, const QString& defaultText)
{
    bool ok = false;
    const QString text = QInputDialog::getText(m_parent, title, prompt, QLineEdit::Normal, defaultText, &ok);
    return ok ? text : QString();
}

// Filters come in the classic "description|pattern|description|pattern" form.
QString fileDialogFilter(const QString& filter)
{
    if (!filter.contains(QLatin1Char('|')))
        return filter;
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList out;
    for (int i = 0; i < parts.size(); i += 2) {
        const QString description = parts[i].trimmed();
        const QString pattern = i + 1 < parts.size() ? parts[i + 1].trimmed() : QString();
        if (description.contains(QLatin1Char('(')) || pattern.isEmpty())
            out << description;
        else
            out << QStringLiteral("%1 (%2)").arg(description, QString(pattern).replace(QLatin1Char(';'), QLatin1Char(' ')));
    }
    return out.join(QStringLiteral(";;"));
}

QString RealDialogs::openFile(const QString& filter, const QString& title)
{
    return QFileDialog::getOpenFileName(m_parent, title, QString(), fileDialogFilter(filter));
}

bool RealDesktop::open(const QString& pathOrUrl)
{
    return QDesktopServices::openUrl(isWebAddress(pathOrUrl) ? QUrl::fromUserInput(pathOrUrl)
                                                      : QUrl::fromLocalFile(pathOrUrl));
}

bool RealDesktop::openSpreadsheet(const QString& path)
{
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

bool RealDesktop::openDocument(const QString& path)
{
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

} // namespace rv
