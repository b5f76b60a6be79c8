#pragma once
#include <QString>
#include <QStringList>

// Tells a screenshot of the meeting from a blank or flat one: every expected file must exist
// and hold at least `minColours` distinct colours. Prints one line per file; true when all pass.
bool checkScreenshots(const QString &dir, const QStringList &expected, int minColours);
