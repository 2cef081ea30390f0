#pragma once
// The real message boxes, prompts, file dialogs and desktop services.
#include "core/Seams.h"

#include <QPointer>
#include <QWidget>

namespace rv {

// A file-dialog filter in the classic "Text (*.txt) | *.txt" form as Qt wants it: "Text (*.txt)".
QString fileDialogFilter(const QString& filter);

class RealDialogs : public Dialogs {
public:
    explicit RealDialogs(QWidget* parent = nullptr) : m_parent(parent) {}
    // The window the boxes are shown over; may change once the main window exists.
    void setParent(QWidget* parent) { m_parent = parent; }

    QString input(const QString& prompt, const QString& title, const QString& defaultText = {}) override;
    QString openFile(const QString& filter, const QString& title = {}) override;

protected:
    void showMessage(const QString& text, const QString& caption, Icon icon) override;
    Answer askQuestion(const QString& text, const QString& caption, Icon icon, Buttons buttons,
                       Answer defaultButton) override;

private:
    QPointer<QWidget> m_parent;
};

class RealDesktop : public Desktop {
public:
    // A web address ("https://...", "www....") opens in the browser; anything else is a local file.
    bool open(const QString& pathOrUrl) override;
    bool openSpreadsheet(const QString& path) override;
    bool openDocument(const QString& path) override;
};

} // namespace rv
