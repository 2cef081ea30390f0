#pragma once
#include <QString>

namespace rv {

// Renders the user manual (Markdown, built into the program) to a PDF file. False when it cannot
// be written; a failure leaves no partial file under the name.
bool writeManualPdf(const QString& path);

} // namespace rv
