#pragma once
#include "accountbase.h"
#include "accountmanager.h"
#include "builders.h"
#include "im.pb.h"
#include "meetinglist.h"
#include "meetingmanager.h"
#include "testsupport.h"
#include <array>
#include <memory>

namespace directorytest {

// One account with its manager as the host sets them up. `log` holds, in order, every call the
// module made to the account manager and every signal of the manager, as "name(arg,arg)";
// pointers print as the name given with `name()`, "null" or "ptr".
struct Fixture
{
    explicit Fixture(qint64 accountId = 100, int deviceId = 7)
        : account(std::make_unique<AccountBase>(accountId, deviceId)),
          manager(new MeetingManager(account.get()))
    {
        AccountManager::getInstance()->reset();
        account->setMeetingManager(manager);
        QObject::connect(AccountManager::getInstance(), &AccountManager::called, manager,
                         [this](const QString &n, const QVariantList &args) { record(n, args); });
        QObject::connect(manager, &MeetingManager::cmdError, [this](int c, QString t, QString d) {
            record(QStringLiteral("cmdError"), {c, t, d});
        });
        QObject::connect(manager, &MeetingManager::inviteMeetingMissKeys,
                         [this](QByteArray b, QString d, QString m) {
                             record(QStringLiteral("inviteMeetingMissKeys"), {b.toHex(), d, m});
                         });
        QObject::connect(manager, &MeetingManager::meetingListChanged,
                         [this](QString d, MeetingList *l) {
                             record(QStringLiteral("meetingListChanged"), {d, ptr(l)});
                         });
    }
    ~Fixture()
    {
        manager->clearData(false);
        testsupport::drainEvents();
        AccountManager::getInstance()->reset();
    }

    void name(const void *p, const char *n) { names.insert(p, QString::fromLatin1(n)); }
    static QVariant ptr(const void *p) { return AccountManager::ptr(p); }
    void record(const QString &n, const QVariantList &args) { log.append({n, args}); }
    // What happened since the last call, space-separated, with pointers named as they are now.
    QString take()
    {
        QStringList calls;
        for (const auto &[n, args] : std::exchange(log, {})) {
            QStringList out;
            for (const QVariant &v : args) {
                if (v.metaType() != QMetaType::fromType<void *>())
                    out << v.toString();
                else if (void *p = v.value<void *>())
                    out << names.value(p, QStringLiteral("ptr"));
                else
                    out << QStringLiteral("null");
            }
            calls << n + QLatin1Char('(') + out.join(QLatin1Char(',')) + QLatin1Char(')');
        }
        return calls.join(QLatin1Char(' '));
    }

    template <typename Message> Message lastRequest(int commandId) const
    {
        Message m;
        const auto sent = account->requests(commandId);
        if (!sent.isEmpty())
            m.ParseFromString(sent.last().payload.toStdString());
        return m;
    }

    // Declared first so that they outlive whatever the account's tear-down reports.
    QList<std::pair<QString, QVariantList>> log;
    QHash<const void *, QString> names;
    std::unique_ptr<AccountBase> account;
    MeetingManager *manager;
};

using testsupport::bytes;
using testsupport::link;
using testsupport::record;
using testsupport::serverMeeting;

} // namespace directorytest
