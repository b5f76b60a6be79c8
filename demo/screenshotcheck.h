#pragma once
#include <QList>
#include <QString>

struct Screenshot
{
    QString name;
    // Taken while cameras or a shared screen were on.
    bool video = false;
};

// Tells a screenshot of the meeting from a blank or flat one by its number of distinct colours:
// every file needs `minColours`; those taken during video need `videoColours` (0 skips that),
// which flat UI alone does not reach. Prints one line per file; true when all pass.
bool checkScreenshots(const QString &dir, const QList<Screenshot> &shots, int minColours,
                      int videoColours);
