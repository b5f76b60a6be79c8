#pragma once
#include "accountbase.h"
#include "accountmanager.h"
#include "im.pb.h"
#include "meetingmanager.h"
#include "testsupport.h"
#include <memory>

namespace directorytest {

// One account with its manager, as the host sets them up, and a clean account manager.
struct Fixture
{
    explicit Fixture(qint64 accountId = 100, int deviceId = 7)
        : account(std::make_unique<AccountBase>(accountId, deviceId)),
          manager(new MeetingManager(account.get()))
    {
        AccountManager::getInstance()->reset();
        account->setMeetingManager(manager);
    }
    ~Fixture()
    {
        manager->clearData(false);
        testsupport::drainEvents();
        AccountManager::getInstance()->reset();
    }

    template <typename Message> Message lastRequest(int commandId) const
    {
        Message m;
        const auto sent = account->requests(commandId);
        if (!sent.isEmpty())
            m.ParseFromString(sent.last().payload.toStdString());
        return m;
    }

    std::unique_ptr<AccountBase> account;
    MeetingManager *manager;
};

// Every call the module made to the account manager, as {name, args...}.
inline QVariantList hostCalls(const QString &name = {})
{
    QVariantList out;
    const auto calls = name.isEmpty() ? AccountManager::getInstance()->calls()
                                      : AccountManager::getInstance()->calls(name);
    for (const AccountManager::Call &c : calls)
        out.append(QVariant(QVariantList{c.name} + c.args));
    return out;
}

inline QVariantList call(const char *name, const QVariantList &args)
{
    return QVariantList{QString::fromLatin1(name)} + args;
}

inline im::MeetingLink link(const char *id, const char *dialogId, qint32 owner = 500,
                            qint32 status = 1)
{
    im::MeetingLink l;
    l.set_id(id);
    l.set_dialog_id(dialogId);
    l.set_name(std::string("name-") + id);
    l.set_owner_id(owner);
    l.set_status(status);
    return l;
}

inline QByteArray bytes(const google::protobuf::MessageLite &m)
{
    return QByteArray::fromStdString(m.SerializeAsString());
}

} // namespace directorytest
