#pragma once
// One QApplication for the whole test program, made on first use.
#include <QApplication>
#include <QSet>
#include <QStringList>
#include <QWidget>

namespace rv::test {

inline void ensureApp()
{
    if (QApplication::instance())
        return;
    static int argc = 1;
    static char name[] = "test_widgets";
    static char* argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    new QApplication(argc, argv);
}

// Names given more than once among a window's widgets; Qt's own inner widgets ("qt_...") and
// widgets without a name are left out.
inline QStringList duplicateNames(const QWidget* window)
{
    QSet<QString> seen;
    QStringList twice;
    for (const QWidget* w : window->findChildren<QWidget*>()) {
        const QString name = w->objectName();
        if (name.isEmpty() || name.startsWith(QLatin1String("qt_")))
            continue;
        if (seen.contains(name))
            twice << name;
        seen.insert(name);
    }
    return twice;
}

} // namespace rv::test
