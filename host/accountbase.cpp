#include "accountbase.h"
#include <QDateTime>
#include <QTimer>

AccountBase::AccountBase(qint64 accountId, int deviceId, QObject *parent)
    : QObject(parent), m_accountId(accountId), m_deviceId(deviceId),
      m_self(QSharedPointer<ContactItem>::create(accountId))
{}

AccountBase::~AccountBase() = default;

void AccountBase::sendRequest(int commandId, const QByteArray &payload, Callback callback, bool,
                              const QVariantMap &)
{
    m_requests.append({commandId, payload, false});
    emit requestSent(commandId, payload);
    const bool scripted = !m_scripted.value(commandId).isEmpty();
    if (m_remoteServer && !scripted) {
        m_remoteServer(commandId, payload, callback);
        return;
    }
    const std::optional<Answer> answer = answerFor(commandId, payload);
    if (!answer || !callback)
        return;
    QTimer::singleShot(answer->delayMs, this,
                       [callback, a = *answer] { callback(a.code, a.body); });
}

QVariantMap AccountBase::sendSyncRequest(int commandId, const QByteArray &payload)
{
    m_requests.append({commandId, payload, true});
    emit requestSent(commandId, payload);
    return m_syncServer ? m_syncServer(commandId, payload) : QVariantMap();
}

std::optional<AccountBase::Answer> AccountBase::answerFor(int commandId, const QByteArray &payload)
{
    auto it = m_scripted.find(commandId);
    if (it != m_scripted.end() && !it->isEmpty())
        return it->takeFirst();
    if (m_server)
        return m_server(commandId, payload);
    return std::nullopt;
}

void AccountBase::scriptAnswer(int commandId, int code, const QByteArray &body)
{
    m_scripted[commandId].append({code, body, 0});
}

QList<AccountBase::Request> AccountBase::requests(int commandId) const
{
    QList<Request> out;
    for (const Request &r : m_requests) {
        if (r.commandId == commandId)
            out.append(r);
    }
    return out;
}

QSharedPointer<DialogBase> AccountBase::dialog(const QString &dialogId, bool) const
{
    return m_dialogs.value(dialogId);
}

QSharedPointer<DialogBase> AccountBase::addDialog(const QString &dialogId, bool isGroup,
                                                  qint64 ownUserId)
{
    auto d = QSharedPointer<DialogBase>::create(dialogId, isGroup, ownUserId);
    m_dialogs.insert(dialogId, d);
    return d;
}

qint64 AccountBase::currentTimestamp() const
{
    return m_fixedTime ? m_fixedTime : QDateTime::currentMSecsSinceEpoch();
}
