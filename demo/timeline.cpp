#include "timeline.h"
#include "accountbase.h"
#include "accountmanager.h"
#include "cast.h"
#include "contactbase.h"
#include "meetingattendeelist.h"
#include "meetingattendeeuser.h"
#include "meetinglinkitem.h"
#include "meetinglinklist.h"
#include "meetinglist.h"
#include "meetingmanager.h"
#include "meetingmodel.h"
#include <QFileInfo>
#include <cstdio>

namespace {
QString stateText(int state)
{
    switch (state) {
    case MeetingDefines::ACTIVE:
        return QStringLiteral("is in the call");
    case MeetingDefines::RECONNECT:
        return QStringLiteral("is reconnecting");
    case MeetingDefines::DISCONNECT:
        return QStringLiteral("lost the connection");
    case MeetingDefines::CONNECTING:
        return QStringLiteral("is connecting");
    case MeetingDefines::INVITING:
        return QStringLiteral("is being called");
    case MeetingDefines::REJECTED:
        return QStringLiteral("declined");
    case MeetingDefines::TIMEOUT:
        return QStringLiteral("did not answer");
    case MeetingDefines::BUSY:
        return QStringLiteral("is busy");
    default:
        return QStringLiteral("is unknown");
    }
}

QString roleText(int status)
{
    switch (status) {
    case MeetingDefines::SPEAKER:
        return QStringLiteral("is now a speaker");
    case MeetingDefines::RAISE_HAND:
        return QStringLiteral("raises a hand");
    case MeetingDefines::INVITE:
        return QStringLiteral("is invited to speak");
    default:
        return QStringLiteral("is now a listener");
    }
}
} // namespace

Timeline::Timeline(const Cast &cast, QObject *parent) : QAbstractListModel(parent), m_cast(cast)
{
    m_clock.start();
    connect(AccountManager::getInstance(), &AccountManager::called, this, &Timeline::onAccountCall);
}

void Timeline::add(const QString &source, const QString &text)
{
    const int row = int(m_entries.size());
    beginInsertRows({}, row, row);
    m_entries.append({m_clock.elapsed(), source, text});
    endInsertRows();
    emit countChanged();
    if (m_echo) {
        const Entry &e = m_entries.last();
        const QString line = QStringLiteral("%1s  %2  %3\n")
                                 .arg(e.ms / 1000.0, 7, 'f', 2)
                                 .arg(e.source.left(18), -18)
                                 .arg(e.text);
        std::fputs(line.toUtf8().constData(), stdout);
        std::fflush(stdout);
    }
}

QStringList Timeline::lines() const
{
    QStringList out;
    for (const Entry &e : m_entries)
        out.append(e.source + QStringLiteral(": ") + e.text);
    return out;
}

int Timeline::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_entries.size());
}

QVariant Timeline::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    const Entry &e = m_entries.at(index.row());
    switch (role) {
    case TimeRole:
        return QStringLiteral("%1s").arg(e.ms / 1000.0, 0, 'f', 1);
    case SourceRole:
        return e.source;
    case TextRole:
        return e.text;
    default:
        return {};
    }
}

QHash<int, QByteArray> Timeline::roleNames() const
{
    return {{TimeRole, "time"}, {SourceRole, "source"}, {TextRole, "text"}};
}

void Timeline::watch(MeetingManager *manager)
{
    connect(manager, &MeetingManager::meetingListChanged, this,
            [this](const QString &, MeetingList *list) {
                if (list)
                    watchList(list);
            });
    connect(manager, &MeetingManager::cmdError, this,
            [this](int code, const QString &text, const QString &) {
                add(QStringLiteral("account"),
                    QStringLiteral("notice (%1): %2").arg(code).arg(text));
            });
    watchLinks(manager->meetingLinkList());
    AccountBase *account = manager->account();
    connect(account->fileManager()->fileDataMgr(), &FileDataMgr::meetingLogUploaded, this,
            [this](const QString &fileName, const QString &) {
                add(QStringLiteral("account"),
                    QStringLiteral("meeting log handed over for upload (%1)")
                        .arg(QFileInfo(fileName).fileName()));
            });
}

void Timeline::watchList(MeetingList *list)
{
    if (m_watched.contains(list))
        return;
    m_watched.insert(list);
    connect(list, &QObject::destroyed, this, [this, list] { m_watched.remove(list); });
    auto modelAt = [list](int row) {
        return list->data(list->index(row), MeetingList::USER_ROLE).value<MeetingModel *>();
    };
    connect(list, &QAbstractItemModel::rowsInserted, this,
            [this, list, modelAt](const QModelIndex &, int first, int last) {
                for (int row = first; row <= last; ++row) {
                    if (MeetingModel *model = modelAt(row)) {
                        add(list->dialogId(),
                            QStringLiteral("meeting \"%1\" listed").arg(model->meetingName()));
                        watchModel(model);
                    }
                }
            });
    connect(list, &QAbstractItemModel::rowsAboutToBeRemoved, this,
            [this, list, modelAt](const QModelIndex &, int first, int last) {
                for (int row = first; row <= last; ++row) {
                    if (MeetingModel *model = modelAt(row))
                        add(list->dialogId(),
                            QStringLiteral("meeting \"%1\" removed").arg(model->meetingName()));
                }
            });
    for (int row = 0; row < list->rowCount(); ++row) {
        if (MeetingModel *model = modelAt(row))
            watchModel(model);
    }
}

QString Timeline::label(MeetingModel *model)
{
    const QString name = model->meetingName();
    return name.isEmpty() ? model->dialogId() : name;
}

void Timeline::watchModel(MeetingModel *model)
{
    if (m_watched.contains(model))
        return;
    m_watched.insert(model);
    connect(model, &QObject::destroyed, this, [this, model] { m_watched.remove(model); });
    auto say = [this, model](const QString &text) {
        add(label(model), text);
    };
    connect(model, &MeetingModel::stateChanged, this, [say](int state) {
        static const QStringList names = {
            QStringLiteral("not in the call (NOTCREATE)"), QStringLiteral("joining (CREATED)"),
            QStringLiteral("connected to the media room (CONNECTED)")};
        say(QStringLiteral("state: %1").arg(names.value(state, QString::number(state))));
    });
    connect(model, &MeetingModel::isHostChanged, this, [say](bool host) {
        say(host ? QStringLiteral("you are the host now")
                 : QStringLiteral("you are no longer the host"));
    });
    connect(model, &MeetingModel::hostUidChanged, this,
            [this, say](qlonglong uid) { say(QStringLiteral("host: %1").arg(m_cast.name(uid))); });
    connect(model, &MeetingModel::whoRSpeakingChanged, this, [say](const QStringList &names) {
        say(names.isEmpty() ? QStringLiteral("nobody is speaking")
                            : QStringLiteral("speaking: %1").arg(names.join(QStringLiteral(", "))));
    });
    connect(model, &MeetingModel::meetingTimeChanged, this, [say](const QString &time) {
        if (time.endsWith(QLatin1String("0")))
            say(QStringLiteral("meeting time %1").arg(time));
    });
    connect(model, &MeetingModel::createShareSuccess, this,
            [this, say](int type, qlonglong uid, const QString &) {
                say(QStringLiteral("%1 %2").arg(m_cast.name(uid),
                                                type == MeetingDefines::WHITEBOARD_SHARE
                                                    ? QStringLiteral("opens a whiteboard")
                                                    : QStringLiteral("starts sharing the screen")));
            });
    connect(model, &MeetingModel::sigCloseShare, this, [this, say](qlonglong uid, const QString &) {
        say(QStringLiteral("%1 stops sharing").arg(m_cast.name(uid)));
    });
    connect(model, &MeetingModel::notifyRaiseHand, this, [say](const QString &name, bool cancel) {
        say(QStringLiteral("prompt for the host: %1 %2")
                .arg(name, cancel ? QStringLiteral("lowered the hand")
                                  : QStringLiteral("raised a hand")));
    });
    connect(model, &MeetingModel::notifyRequestJoin, this,
            [say] { say(QStringLiteral("prompt for the host: someone waits to be let in")); });
    connect(model, &MeetingModel::meetingError, this, [say](int code, const QString &text) {
        say(QStringLiteral("media error %1: %2").arg(code).arg(text));
    });
    connect(model, &MeetingModel::canUnmuteAudioChanged, this, [say](bool can) {
        say(can ? QStringLiteral("attendees may unmute themselves")
                : QStringLiteral("attendees may not unmute themselves"));
    });
    connect(model, &MeetingModel::transferred, this, [this, say](qlonglong uid) {
        say(QStringLiteral("host role handed to %1").arg(m_cast.name(uid)));
    });
    connect(model, &MeetingModel::privateCallStatus, this, [say](int status) {
        say(QStringLiteral("call: the other side %1").arg(stateText(status)));
    });
    connect(model, &MeetingModel::isSharedChanged, this, [say](bool shared) {
        say(shared ? QStringLiteral("your share is on") : QStringLiteral("your share is off"));
    });
    connect(model, &MeetingModel::inviteSpeaker, this, [this, say](qlonglong uid, bool cancel) {
        say(QStringLiteral("prompt: %1 %2 you to speak")
                .arg(m_cast.name(uid),
                     cancel ? QStringLiteral("no longer invites") : QStringLiteral("invites")));
    });
    connect(model, &MeetingModel::requestOpenDev, this, [say](int type, bool) {
        say(QStringLiteral("prompt: turn your %1 back on?")
                .arg(type == 0 ? QStringLiteral("microphone") : QStringLiteral("camera")));
    });
    connect(model, &MeetingModel::applicationRejected, this,
            [say] { say(QStringLiteral("your request to join was turned down")); });
    connect(model, &MeetingModel::startDestroy, this,
            [say] { say(QStringLiteral("meeting model goes away")); });
    watchAttendees(model, model->attendeeList(), false);
    watchAttendees(model, model->pendingAttendeeList(), true);
}

void Timeline::watchAttendees(MeetingModel *model, MeetingAttendeeList *list, bool pending)
{
    auto userAt = [list](int row) {
        return qobject_cast<MeetingAttendeeUser *>(list->getAttendeeInfoByIndex(row));
    };
    auto say = [this, model](const QString &text) {
        add(label(model), text);
    };
    auto describe = [this, pending](MeetingAttendeeUser *user) {
        if (pending)
            return QStringLiteral("%1 waits to be let in").arg(who(user));
        if (user->type() == MeetingDefines::WHITEBOARD)
            return QStringLiteral("whiteboard tile of %1 added").arg(who(user));
        if (user->type() == MeetingDefines::SHARESCREEN)
            return QStringLiteral("screen tile of %1 added").arg(who(user));
        return QStringLiteral("%1 listed: %2").arg(who(user), stateText(user->state()));
    };
    connect(list, &QAbstractItemModel::rowsInserted, this,
            [this, model, userAt, say, describe](const QModelIndex &, int first, int last) {
                for (int row = first; row <= last; ++row) {
                    if (MeetingAttendeeUser *user = userAt(row)) {
                        say(QStringLiteral("%1 (row %2)").arg(describe(user)).arg(row));
                        watchUser(model, user);
                    }
                }
            });
    connect(list, &QAbstractItemModel::modelReset, this,
            [this, model, list, userAt, say, describe] {
                QStringList names;
                for (int row = 0; row < list->rowCount(); ++row) {
                    if (MeetingAttendeeUser *user = userAt(row)) {
                        names.append(describe(user));
                        watchUser(model, user);
                    }
                }
                if (!names.isEmpty())
                    say(names.join(QStringLiteral("; ")));
            });
    connect(list, &QAbstractItemModel::rowsAboutToBeRemoved, this,
            [this, userAt, say, pending](const QModelIndex &, int first, int last) {
                for (int row = first; row <= last; ++row) {
                    MeetingAttendeeUser *user = userAt(row);
                    if (!user)
                        continue;
                    if (pending)
                        say(QStringLiteral("%1 no longer waits").arg(who(user)));
                    else if (user->type() == MeetingDefines::VIDEO)
                        say(QStringLiteral("%1 left the attendee list").arg(who(user)));
                    else
                        say(QStringLiteral("share tile of %1 removed").arg(who(user)));
                }
            });
    if (!pending) {
        connect(list, &MeetingAttendeeList::moved, this,
                [this, list, userAt, say](int from, int to) {
                    const int now = to > from ? to - 1 : to;
                    if (MeetingAttendeeUser *user = userAt(now)) {
                        say(QStringLiteral("%1 moves from row %2 to row %3")
                                .arg(who(user))
                                .arg(from)
                                .arg(now));
                    }
                    Q_UNUSED(list)
                });
    }
}

void Timeline::watchUser(MeetingModel *model, MeetingAttendeeUser *user)
{
    if (m_watched.contains(user))
        return;
    m_watched.insert(user);
    connect(user, &QObject::destroyed, this, [this, user] { m_watched.remove(user); });
    if (user->type() != MeetingDefines::VIDEO)
        return;
    auto say = [this, model, user](const QString &text) {
        add(label(model), QStringLiteral("%1 %2").arg(who(user), text));
    };
    connect(user, &MeetingAttendeeUser::stateChanged, this,
            [say](int state) { say(stateText(state)); });
    connect(user, &MeetingAttendeeUser::muteVoiceChanged, this, [say](int mute) {
        say(mute == 0   ? QStringLiteral("turns the microphone on")
            : mute == 3 ? QStringLiteral("is muted by the host (mute all)")
                        : QStringLiteral("turns the microphone off"));
    });
    connect(user, &MeetingAttendeeUser::muteVideoChanged, this, [say](int mute) {
        say(mute == 0 ? QStringLiteral("turns the camera on")
                      : QStringLiteral("turns the camera off"));
    });
    connect(user, &MeetingAttendeeUser::participationStatusChanged, this,
            [say](int status) { say(roleText(status)); });
    connect(user, &MeetingAttendeeUser::networkScoreChanged, this, [say](int score) {
        if (score <= 2)
            say(QStringLiteral("has a weak connection (score %1)").arg(score));
    });
}

void Timeline::watchLinks(MeetingLinkList *links)
{
    auto itemAt = [links](int row) {
        return links->data(links->index(row), Qt::UserRole + 1).value<MeetingLinkItem *>();
    };
    connect(links, &QAbstractItemModel::rowsInserted, this,
            [this, itemAt](const QModelIndex &, int first, int last) {
                for (int row = first; row <= last; ++row) {
                    if (MeetingLinkItem *item = itemAt(row))
                        add(QStringLiteral("links"),
                            QStringLiteral("meeting link \"%1\" listed").arg(item->name()));
                }
            });
    connect(links, &QAbstractItemModel::rowsAboutToBeRemoved, this,
            [this, itemAt](const QModelIndex &, int first, int last) {
                for (int row = first; row <= last; ++row) {
                    if (MeetingLinkItem *item = itemAt(row))
                        add(QStringLiteral("links"),
                            QStringLiteral("meeting link \"%1\" removed").arg(item->name()));
                }
            });
}

void Timeline::onAccountCall(const QString &name, const QVariantList &args)
{
    auto model = [&args](int i) {
        return qobject_cast<MeetingModel *>(
            static_cast<MeetingModelBase *>(args.value(i).value<void *>()));
    };
    const QString source = QStringLiteral("account");
    if (name == QLatin1String("receiveMeetingInvite")) {
        if (MeetingModel *m = model(0))
            add(label(m), QStringLiteral("incoming call announced"));
    } else if (name == QLatin1String("joinMeetingFinished")) {
        const MeetingModel *m = model(1);
        add(m ? label(const_cast<MeetingModel *>(m)) : source,
            args.value(0).toBool() ? QStringLiteral("join accepted by the server")
                                   : QStringLiteral("join refused by the server"));
    } else if (name == QLatin1String("createMeetingFinished")) {
        add(source, QStringLiteral("meeting \"%1\" created").arg(args.value(3).toString()));
    } else if (name == QLatin1String("error")) {
        add(source, QStringLiteral("notice (%1): %2")
                        .arg(args.value(0).toInt())
                        .arg(args.value(1).toString()));
    } else if (name == QLatin1String("meetingBeFinished")) {
        add(source, QStringLiteral("a meeting is over for this account"));
    } else if (name == QLatin1String("getJoinMeetingLinkFinished")) {
        add(QStringLiteral("links"),
            QStringLiteral("opening a received link answered %1").arg(args.value(1).toInt()));
    }
}

QString Timeline::who(MeetingAttendeeUser *user) const
{
    if (ContactBase *contact = user->userInfo(); contact && !contact->name().isEmpty())
        return contact->name();
    return m_cast.name(user->getUserId());
}
