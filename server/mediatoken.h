#pragma once
#include <QByteArray>
#include <QString>
#include <QUrlQuery>

// Signs and checks the per-meeting tokens carried by media server URLs. A token binds one
// user to one meeting until a time; it is an HMAC, so a restart with the same secret keeps
// handed-out URLs valid and nothing per token is stored.
class MediaToken
{
public:
    // The engine's error numbers for refused tokens, sent back in an ERROR message.
    enum Refusal { None = 0, Invalid = 11, Expired = 12, Missing = 13 };
    struct Checked
    {
        Refusal refusal = Missing;
        QString meetingId;
        qint64 uid = 0;
    };

    explicit MediaToken(QByteArray secret) : m_secret(std::move(secret)) {}

    QUrlQuery mint(const QString &meetingId, qint64 uid, qint64 expiresAtSecs) const;
    Checked check(const QUrlQuery &query, qint64 nowSecs) const;

private:
    QByteArray sign(const QString &meetingId, qint64 uid, qint64 expires) const;

    QByteArray m_secret;
};
