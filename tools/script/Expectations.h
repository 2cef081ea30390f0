#pragma once
// What the user sees: the values the expect steps compare, read from the widgets.
#include <QString>
#include <QWidget>

namespace script {

// The value of a control as `expect` compares it: a text box's or label's text, a combo
// box's text, "yyyy/MM/dd" / "HH:mm:ss" for pickers, "0"/"1" for check boxes and option
// buttons, a tab strip's current index, a list box's lines joined by \n.
// Throws StepFailure for a kind of control it cannot read.
QString valueOf(QWidget* w);

// The entries of a combo box's or list box's list joined by \n.
QString itemsOf(QWidget* w);

// A grid cell's text. A flag cell reports "[x]" / "[ ]": the model's Qt::UserRole + 1 text
// when it gives one, else its display text, else its check state.
QString cellText(QWidget* grid, int row, int col);

// The colour the control is filled with, "#rrggbb": its palette's background role; for a
// grid cell the model's background, else the grid's base colour.
QString colourOf(QWidget* w);
QString cellColour(QWidget* grid, int row, int col);

// Whether the program shows the control: its own flag and those of the frames around it,
// whichever tab is selected.
bool shownByProgram(const QWidget* w);

// title=…;ymin=…;ymax=…;ystep=…;xformat=…;xtitle=…;series=…;points=…
QString chartSummary(QWidget* chartView);

// xmin=yyyy/MM/dd HH:mm:ss;xmax=…;ylabels=0|20|40: the time axis's range and the value axis's
// labels as the chart draws them now, bottom to top (an elided label as drawn).
QString chartAxes(QWidget* chartView);

// The objectName of the control that has the focus (or of its nearest named parent).
QString focusName();

} // namespace script
