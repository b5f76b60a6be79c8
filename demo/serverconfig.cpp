#include "serverconfig.h"
#include "cast.h"
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>

namespace ServerConfig {

namespace {
QByteArray freshToken()
{
    QByteArray raw(24, Qt::Uninitialized);
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32 *>(raw.data()), 6);
    return raw.toHex();
}
} // namespace

bool write(const Cast &cast, const QString &path, QString *error)
{
    QJsonArray accounts;
    for (const Person &p : cast.people()) {
        accounts.append(QJsonObject{{QStringLiteral("id"), double(p.id)},
                                    {QStringLiteral("token"), QString::fromLatin1(freshToken())}});
    }
    QJsonArray conversations;
    for (const Conversation &c : cast.conversations()) {
        QJsonArray members{double(cast.selfId())};
        for (qint64 uid : c.members)
            members.append(double(uid));
        conversations.append(QJsonObject{{QStringLiteral("id"), c.dialogId},
                                         {QStringLiteral("group"), c.isGroup},
                                         {QStringLiteral("members"), members}});
    }
    const QJsonObject root{{QStringLiteral("accounts"), accounts},
                           {QStringLiteral("conversations"), conversations}};
    QFile file(path);
    // Owner-only before the first token is written.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        !file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner) ||
        file.write(QJsonDocument(root).toJson()) < 0) {
        *error = QStringLiteral("%1 cannot be written").arg(path);
        return false;
    }
    return true;
}

QHash<qint64, QByteArray> tokens(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QHash<qint64, QByteArray> out;
    const QJsonArray accounts = QJsonDocument::fromJson(file.readAll())
                                    .object()
                                    .value(QStringLiteral("accounts"))
                                    .toArray();
    for (const QJsonValue &v : accounts) {
        const QJsonObject a = v.toObject();
        const QByteArray token = a.value(QStringLiteral("token")).toString().toUtf8();
        if (!token.isEmpty())
            out.insert(qint64(a.value(QStringLiteral("id")).toDouble()), token);
    }
    return out;
}

} // namespace ServerConfig
