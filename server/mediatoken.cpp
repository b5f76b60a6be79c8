#include "mediatoken.h"
#include <QMessageAuthenticationCode>

QByteArray MediaToken::sign(const QString &meetingId, qint64 uid, qint64 expires) const
{
    const QByteArray text =
        meetingId.toUtf8() + '\n' + QByteArray::number(uid) + '\n' + QByteArray::number(expires);
    return QMessageAuthenticationCode::hash(text, m_secret, QCryptographicHash::Sha256).toHex();
}

QUrlQuery MediaToken::mint(const QString &meetingId, qint64 uid, qint64 expiresAtSecs) const
{
    QUrlQuery q;
    q.addQueryItem(QStringLiteral("meeting"), meetingId);
    q.addQueryItem(QStringLiteral("uid"), QString::number(uid));
    q.addQueryItem(QStringLiteral("expires"), QString::number(expiresAtSecs));
    q.addQueryItem(QStringLiteral("token"),
                   QString::fromLatin1(sign(meetingId, uid, expiresAtSecs)));
    return q;
}

MediaToken::Checked MediaToken::check(const QUrlQuery &query, qint64 nowSecs) const
{
    Checked out;
    const QString token = query.queryItemValue(QStringLiteral("token"));
    const QString meeting = query.queryItemValue(QStringLiteral("meeting"));
    bool uidOk = false;
    bool expiresOk = false;
    const qint64 uid = query.queryItemValue(QStringLiteral("uid")).toLongLong(&uidOk);
    const qint64 expires = query.queryItemValue(QStringLiteral("expires")).toLongLong(&expiresOk);
    if (token.isEmpty() || meeting.isEmpty() || !uidOk || !expiresOk)
        return out;
    const QByteArray expected = sign(meeting, uid, expires);
    const QByteArray given = token.toLatin1();
    // Compare in constant time so the token cannot be guessed byte by byte.
    unsigned diff = expected.size() == given.size() ? 0 : 1;
    for (int i = 0; i < std::min(expected.size(), given.size()); ++i)
        diff |= unsigned(expected[i] ^ given[i]);
    if (diff != 0) {
        out.refusal = Invalid;
        return out;
    }
    if (expires < nowSecs) {
        out.refusal = Expired;
        return out;
    }
    return {None, meeting, uid};
}
