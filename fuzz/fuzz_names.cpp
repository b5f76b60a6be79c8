// Media server URLs through the ringing report's URL builder and meeting ids through the log
// file naming. Nothing is sent and no file is written.
#include "fuzzcommon.h"
#include "meetingmodel.h"
#include <QString>
#include <QUrlQuery>
#include <cstdlib>

namespace {
void check(bool ok)
{
    if (!ok)
        std::abort();
}

void checkLogName(const QString &id)
{
    const QString part = MeetingModel::logNamePart(id);
    check(!part.contains(QLatin1Char('/')) && !part.contains(QLatin1Char('\\')));
    check(!part.contains(QLatin1String("..")));
    for (const QChar c : part)
        check(c.unicode() >= 0x20 && c.unicode() != 0x7f && c.category() != QChar::Other_Control);
}

void checkRinging(const QString &server, bool ringing)
{
    const QUrl url = MeetingModel::ringingUrl(server, ringing);
    if (url.isEmpty())
        return;
    check(url.scheme() == QLatin1String("https"));
    check(!url.host().isEmpty());
    const QString status =
        ringing ? QStringLiteral("&status=ringing") : QStringLiteral("&status=silent");
    check(url.toString(QUrl::FullyEncoded).endsWith(status));
    check(QUrlQuery(url).allQueryItemValues(QStringLiteral("status")).last() ==
          (ringing ? QLatin1String("ringing") : QLatin1String("silent")));
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::account();
    if (size == 0)
        return 0;
    const QString text = QString::fromUtf8(fuzz::bytes(data + 1, size - 1));
    checkLogName(text);
    checkRinging(text, data[0] & 1);
    return 0;
}
