#include "screenshotcheck.h"
#include <QDir>
#include <QImage>
#include <QSet>
#include <cstdio>

namespace {
int distinctColours(const QImage &source)
{
    const QImage image = source.convertToFormat(QImage::Format_RGB32);
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            colours.insert(line[x]);
    }
    return int(colours.size());
}
} // namespace

bool checkScreenshots(const QString &dir, const QList<Screenshot> &shots, int minColours,
                      int videoColours)
{
    bool ok = !shots.isEmpty();
    for (const Screenshot &shot : shots) {
        const QImage image(QDir(dir).filePath(shot.name));
        QString verdict = QStringLiteral("missing or unreadable");
        bool fileOk = false;
        if (!image.isNull()) {
            const int colours = distinctColours(image);
            const int needed = shot.video && videoColours > 0 ? videoColours : minColours;
            fileOk = colours >= needed;
            verdict =
                QStringLiteral("%1x%2, %3 colours (%4 needed%5)")
                    .arg(image.width())
                    .arg(image.height())
                    .arg(colours)
                    .arg(needed)
                    .arg(shot.video && videoColours > 0 ? QStringLiteral(", video on") : QString());
        }
        ok = ok && fileOk;
        std::printf("%s %s: %s\n", fileOk ? "ok  " : "FAIL", qPrintable(shot.name),
                    qPrintable(verdict));
    }
    std::fflush(stdout);
    return ok;
}
