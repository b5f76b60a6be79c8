#pragma once
#include "accountbase.h"
#include "broadcaster.h"
#include "meetingattendeelist.h"
#include "meetingattendeeuser.h"
#include "meetingmodel.h"
#include "testsupport.h"
#include <QtTest>
#include <functional>
#include <memory>
#include <vector>

using qtwebrtc::Broadcaster;
using Report = std::function<void(Broadcaster *)>;
using Act = std::function<void(MeetingModel &)>;
Q_DECLARE_METATYPE(Report)
Q_DECLARE_METATYPE(Act)

constexpr qint64 kSelf = 100;

// A meeting model with the engine stand-in running and every list under the model tester.
// Attendees go straight into the lists: "201s" is user 201 as a speaker with the camera off;
// upper case means camera on; S speaker, R raised hand, I invited, L listener.
struct Meeting
{
    AccountBase account{kSelf, 1};
    MeetingModel model{MeetingInfo(), &account};
    std::vector<std::unique_ptr<testsupport::ModelChecker>> checkers;
    Broadcaster *engine = nullptr;

    explicit Meeting(const QString &rows = {}, bool withEngine = true)
    {
        for (MeetingAttendeeList *list : {model.attendeeList(), model.activeAttendeeList(),
                                          model.searchModel(), model.callingAttendeeList()})
            checkers.push_back(std::make_unique<testsupport::ModelChecker>(list));
        if (withEngine) {
            model.setDevices({}, {}, {});
            engine = Broadcaster::last();
            engine->sync();
        }
        for (const QString &row : rows.split(QLatin1Char(' '), Qt::SkipEmptyParts))
            add(row.chopped(1).toLongLong(), row.back());
        testsupport::drainEvents();
        Broadcaster::clearCalls();
    }

    void add(qint64 uid, QChar code)
    {
        account.userManager()->addContact(uid, QStringLiteral("u%1").arg(uid));
        const int role = int(QStringLiteral("srilSRIL").indexOf(code) % 4);
        MeetingAttendee a(uid, 0, MeetingDefines::ACTIVE, 0, role, false);
        model.attendeeList()->updateAttendeeUser(a);
        a.user->setMute(code.isUpper() ? 0 : 1, 0, MeetingDefines::MUTE_VIDEO);
        model.attendeeList()->appendAttendee(a);
        model.activeAttendeeList()->setDifferentAttendees(model.attendeeList()->activeAttendees());
    }

    // Emits from the engine's thread and delivers the queued report.
    void report(const Report &fn)
    {
        engine->emitFromOwnThread(fn);
        engine->sync();
        testsupport::drainEvents();
    }

    MeetingAttendeeUser *user(qint64 uid, MeetingDefines::AttendeeType type = MeetingDefines::VIDEO)
    {
        return qobject_cast<MeetingAttendeeUser *>(
            model.attendeeList()->getAttendeeInfoByUid(uid, type));
    }

    // Row owners; a share row shows as its owner's id plus a type suffix (201 -> 2012).
    static QList<qint64> order(const MeetingAttendeeList *list)
    {
        QList<qint64> out;
        for (const MeetingAttendee &row : list->rows())
            out << row.userId * (row.user->type() ? 10 : 1) + row.user->type();
        return out;
    }
};

inline QByteArray roomWith(qint64 id, const char *extra, const char *role = "speaker",
                           int raiseHand = 0)
{
    return QStringLiteral(R"({"attendees":[{"id":%1,"inviter":0,"status":"ACTIVE","role":"%2",)"
                          R"("raiseHand":%3,"invitingSpeak":0%4}]})")
        .arg(id)
        .arg(QLatin1String(role))
        .arg(raiseHand)
        .arg(QLatin1String(extra))
        .toUtf8();
}
