#include "screenshotcheck.h"
#include <QDir>
#include <QImage>
#include <QSet>
#include <cstdio>

bool checkScreenshots(const QString &dir, const QStringList &expected, int minColours)
{
    bool ok = !expected.isEmpty();
    for (const QString &name : expected) {
        const QString path = QDir(dir).filePath(name);
        QImage image(path);
        QString verdict;
        bool fileOk = false;
        if (image.isNull()) {
            verdict = QStringLiteral("missing or unreadable");
        } else {
            image = image.convertToFormat(QImage::Format_RGB32);
            QSet<QRgb> colours;
            for (int y = 0; y < image.height(); ++y) {
                const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
                for (int x = 0; x < image.width(); ++x)
                    colours.insert(line[x]);
            }
            fileOk = colours.size() >= minColours;
            verdict = QStringLiteral("%1x%2, %3 colours%4")
                          .arg(image.width())
                          .arg(image.height())
                          .arg(colours.size())
                          .arg(fileOk ? QString()
                                      : QStringLiteral(" (fewer than %1: blank?)").arg(minColours));
        }
        ok = ok && fileOk;
        std::printf("%s %s: %s\n", fileOk ? "ok  " : "FAIL", qPrintable(name), qPrintable(verdict));
    }
    std::fflush(stdout);
    return ok;
}
