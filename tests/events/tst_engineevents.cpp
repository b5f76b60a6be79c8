#include "accountbase.h"
#include "accountmanager.h"
#include "broadcaster.h"
#include "meetingattendeelist.h"
#include "meetingattendeeuser.h"
#include "meetinglist.h"
#include "meetingmanager.h"
#include "meetingmodel.h"
#include "meetingmodel_p.h"
#include "testsupport.h"
#include <QTest>
#include <memory>

using namespace MeetingDefines;
using namespace Qt::StringLiterals;
using Engine = qtwebrtc::Broadcaster;

namespace {

QString text(const QVariant &v)
{
    if (v.metaType() != QMetaType::fromType<QVariantList>())
        return v.toStringList().isEmpty() ? v.toString() : v.toStringList().join(u'+');
    QStringList parts;
    for (const QVariant &e : v.toList())
        parts.append(text(e));
    return parts.join(u'+');
}

QString call(const QString &name, const QVariantList &args)
{
    QStringList parts;
    for (const QVariant &a : args)
        parts.append(text(a));
    return name + u'(' + parts.join(u',') + u')';
}

// Calls a slot, invokable or signal by name, converting each argument to the parameter's type.
QVariant invoke(QObject *target, const QByteArray &name, QVariantList args)
{
    const QMetaObject *meta = target->metaObject();
    for (int i = meta->methodCount() - 1; i >= 0; --i) {
        const QMetaMethod m = meta->method(i);
        if (m.name() != name || m.parameterCount() != args.size())
            continue;
        QList<QByteArray> types;
        QGenericArgument a[6];
        for (int p = 0; p < args.size(); ++p) {
            if (!args[p].convert(m.parameterMetaType(p)))
                qFatal("argument %d of %s does not convert", p, name.constData());
            types.append(m.parameterTypeName(p));
            a[p] = QGenericArgument(types.last().constData(), args[p].constData());
        }
        const bool isVoid = m.returnMetaType().id() == QMetaType::Void;
        QVariant result = isVoid ? QVariant() : QVariant(m.returnMetaType());
        QGenericReturnArgument r =
            isVoid ? QGenericReturnArgument() : QGenericReturnArgument(m.typeName(), result.data());
        if (!m.invoke(target, Qt::DirectConnection, r, a[0], a[1], a[2], a[3], a[4], a[5]))
            qFatal("%s failed", name.constData());
        return result;
    }
    qFatal("no method %s with %d arguments", name.constData(), int(args.size()));
}

// One case: what sets the scene, what is observed, and what must follow from it. Rows are
// "attendee|active|calling|search" ("" when the four attendees stay as they were), signals
// the model's in declaration order with the attendee list's kickedOut and returned values
// last, calls those of the engine, the account manager and the server, in that order.
struct Case
{
    const char *name, *setup, *events, *rows, *emitted, *calls, *values;
};

} // namespace

// A connected meeting: the own user 100 ("Me", hosting), Ann 201, Bob 202 and Cid 203, all
// speakers with camera and microphone on. Cases are scripts of engine signals, model calls and
// attendee requests, checked against the rows, the signals, the calls out and live values.
class EngineEventsTest : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void lifecycle_data();
    void lifecycle() { runCase(); }
    void muteReport_data();
    void muteReport() { runCase(); }
    void media_data();
    void media() { runCase(); }
    void errors_data();
    void errors() { runCase(); }
    void shares_data();
    void shares() { runCase(); }
    void dismissDeletesModel();
    void speaking_data();
    void speaking() { runCase(); }

private:
    void addRows(std::initializer_list<Case> cases);
    void runCase();
    void run(const QString &script);
    QVariant argument(const QString &word) const;
    QByteArray room() const;
    void fromEngine(const QByteArray &signal, const QVariantList &args);
    MeetingAttendeeUser *user(QString key);
    QString rows() const;
    QString log() const;

    std::unique_ptr<AccountBase> m_account;
    QPointer<MeetingManager> m_manager;
    QPointer<MeetingModel> m_model;
    QPointer<Engine> m_engine;
    QList<qint64> m_ids{100, 201, 202, 203};
    QHash<qint64, QString> m_shares; // "whiteBoard" or "screen", with the id "share-<uid>"
    std::vector<std::unique_ptr<testsupport::ModelChecker>> m_checkers;
    std::vector<std::unique_ptr<QSignalSpy>> m_spies;
    QStringList m_returns;
};

void EngineEventsTest::init()
{
    m_returns.clear();
    m_shares.clear();
    m_ids = {100, 201, 202, 203};
    AccountManager::getInstance()->reset();
    Engine::setMaxDecibel(42);
    m_account = std::make_unique<AccountBase>(100, 1);
    m_account->setCurrentTimestamp(1234);
    MeetingInfo info;
    info.meetingId = u"m-1"_s;
    info.dialogId = u"d-1"_s;
    info.messageId = 77;
    for (const QString &name : {u"Me"_s, u"Ann"_s, u"Bob"_s, u"Cid"_s}) {
        const qint64 uid = m_ids[info.attendees.size()];
        m_account->userManager()->addContact(uid, name);
        info.attendees.append(MeetingAttendee(uid, 1, ACTIVE, 100, SPEAKER, false));
    }
    m_manager = new MeetingManager(m_account.get());
    m_account->setMeetingManager(m_manager);
    m_model = new MeetingModel(m_account.get());
    for (MeetingAttendeeList *list :
         {m_model->searchModel(), m_model->activeAttendeeList(), m_model->attendeeList(),
          m_model->pendingAttendeeList(), m_model->callingAttendeeList()})
        m_checkers.push_back(std::make_unique<testsupport::ModelChecker>(list));
    m_model->setMeeting(info);
    m_model->setDevices(QString(), QString(), QString());
    m_engine = Engine::last();
    run(u"sigNotifyJoin 100 100 room"_s);
    MeetingModelPrivate::get(m_model)
        ->killMeetingTimer(); // the tests run the speaking periods themselves
}

void EngineEventsTest::cleanup()
{
    m_spies.clear();
    m_checkers.clear();
    delete m_model;
    delete m_manager;
    m_account.reset();
    QTRY_COMPARE(Engine::aliveCount(), 0);
}

QByteArray EngineEventsTest::room() const
{
    QStringList attendees;
    for (qint64 uid : m_ids) {
        const QString share = m_shares.value(uid);
        attendees.append(
            uR"({"id":%1,"inviter":0,"status":"ACTIVE","role":"speaker","raiseHand":0,)"
            uR"("invitingSpeak":0,"host":%2,"mute":{"audio":0,"video":0,"screen":0,)"
            uR"("whiteBoard":0}%3})"_s.arg(uid)
                .arg(uid == 100 ? u"true"_s : u"false"_s)
                .arg(share.isEmpty()
                         ? QString()
                         : uR"(,"share":[{"type":"%1","id":"share-%2","otherMark":true}])"_s
                               .arg(share)
                               .arg(uid)));
    }
    return uR"({"attendees":[%1]})"_s.arg(attendees.join(u',')).toUtf8();
}

QVariant EngineEventsTest::argument(const QString &word) const
{
    bool isInt = false, isNumber = false;
    const qlonglong n = word.toLongLong(&isInt);
    const double d = word.toDouble(&isNumber);
    if (word == u"room" || word == u"bad")
        return word == u"room" ? room() : QByteArray("{\"attendees\":");
    if (word == u"true" || word == u"false")
        return word == u"true";
    if (word.startsWith(u'['))
        return QVariant(word.mid(1, word.size() - 2).split(u',', Qt::SkipEmptyParts)).toList();
    return isInt ? QVariant(n) : isNumber ? QVariant(d) : QVariant(word);
}

void EngineEventsTest::fromEngine(const QByteArray &signal, const QVariantList &args)
{
    m_engine->emitFromOwnThread([=](Engine *b) { invoke(b, signal, args); });
    m_engine->sync();
    testsupport::drainEvents();
}

// Commands split by ';'. "sig…" comes from the engine, "201.slot" is a request of that
// attendee ("201s" its picture share, "201w" its whiteboard), a few words set the scene, anything
// else is a model call.
void EngineEventsTest::run(const QString &script)
{
    for (const QString &command : script.split(u';', Qt::SkipEmptyParts)) {
        QStringList words = command.split(u' ', Qt::SkipEmptyParts);
        if (words.isEmpty())
            continue;
        const QString verb = words.takeFirst();
        QVariantList args;
        for (const QString &w : words)
            args.append(argument(w));
        const qint64 uid = args.value(0).toLongLong();
        if (verb.startsWith(u"sig")) {
            fromEngine(verb.toLatin1(), args);
        } else if (verb == u"share") { // share <uid> <kind>, then the own join brings it
            m_shares.insert(uid, words[1]);
            run(u"sigNotifyJoin 100 100 room"_s);
        } else if (verb == u"unshare") { // gone from the next room information
            m_shares.remove(uid);
        } else if (verb == u"add") {
            m_ids.append(uid);
        } else if (verb == u"state") { // state <entry> <mute type> <value>: as the server had it
            user(words[0])->setMute(args[2].toInt(), 0, args[1].toInt());
        } else if (verb == u"dark") {
            for (const MeetingAttendee &a : m_model->attendeeList()->rows())
                a.user->setMute(1, 0, 1);
        } else if (verb == u"private") {
            MeetingInfo info = m_model->meetingInfo();
            info.isPrivateCall = true;
            m_model->setMeeting(info);
        } else if (verb == u"meetingType") {
            m_account->accountSettingModel()->setSupportedMeetingType(int(uid));
        } else if (verb == u"search") {
            m_model->search(QString());
        } else if (verb == u"period") { // what the meeting timer does once a second
            MeetingModelPrivate::get(m_model)->setWhoSpeaks();
        } else if (verb == u"untilSent") { // a server request, however busy the machine
            QVERIFY(QTest::qWaitFor([this] { return !m_account->requests().isEmpty(); }, 5000));
        } else if (verb.contains(u'.')) {
            invoke(user(verb.section(u'.', 0, 0)), verb.section(u'.', 1).toLatin1(), args);
        } else if (const QVariant result = invoke(m_model, verb.toLatin1(), args);
                   result.isValid()) {
            m_returns.append(call(u"return"_s, {result}));
        }
    }
}

MeetingAttendeeUser *EngineEventsTest::user(QString key)
{
    const AttendeeType type = key.endsWith(u's')   ? SHARESCREEN
                              : key.endsWith(u'w') ? WHITEBOARD
                                                   : VIDEO;
    key.remove(u's').remove(u'w');
    return qobject_cast<MeetingAttendeeUser *>(
        m_model->attendeeList()->getAttendeeInfoByUid(key.toLongLong(), type));
}

QString EngineEventsTest::rows() const
{
    QStringList lists;
    for (const MeetingAttendeeList *list :
         {m_model->attendeeList(), m_model->activeAttendeeList(), m_model->callingAttendeeList(),
          m_model->searchModel()}) {
        QStringList ids;
        for (const MeetingAttendee &a : list->rows())
            ids.append(QString::number(a.userId) + QStringList{{}, u"w"_s, u"s"_s}[a.user->type()]);
        lists.append(ids.join(u','));
    }
    return lists.join(u'|');
}

// The engine's calls, then the account manager's, then the server requests.
QString EngineEventsTest::log() const
{
    if (m_engine)
        m_engine->sync();
    QStringList out;
    for (const auto &c : Engine::calls())
        out.append(call(c.name, c.args));
    for (const auto &c : AccountManager::getInstance()->calls())
        out.append(call(c.name, c.args));
    for (const auto &r : m_account->requests())
        out.append(call(u"request"_s, {r.commandId}));
    return out.join(u' ');
}

void EngineEventsTest::addRows(std::initializer_list<Case> cases)
{
    for (const char *column : {"setup", "events", "rows", "signals", "calls", "values"})
        QTest::addColumn<QString>(column);
    for (const Case &c : cases) {
        QTest::newRow(c.name) << c.setup << c.events
                              << (*c.rows ? c.rows : "100,201,202,203|100,201,202,203||")
                              << c.emitted << c.calls << c.values;
    }
}

void EngineEventsTest::runCase()
{
    QFETCH(QString, setup);
    QFETCH(QString, events);
    run(setup);
    const QMetaObject &meta = MeetingModel::staticMetaObject;
    for (int i = meta.methodOffset(); i < meta.methodCount(); ++i) {
        if (meta.method(i).methodType() == QMetaMethod::Signal &&
            meta.method(i).name() != "meetingTimeChanged")
            m_spies.push_back(std::make_unique<QSignalSpy>(m_model, meta.method(i)));
    }
    m_spies.push_back(
        std::make_unique<QSignalSpy>(m_model->attendeeList(), &MeetingAttendeeList::kickedOut));
    // What the setup posted must reach the engine before the log starts.
    if (m_engine)
        m_engine->sync();
    Engine::clearCalls();
    AccountManager::getInstance()->reset();
    m_account->clearRequests();
    run(events);
    QStringList emitted;
    for (const auto &spy : m_spies) {
        for (const QVariantList &args : *spy)
            emitted.append(call(QString::fromLatin1(spy->signal()).section(u'(', 0, 0), args));
    }
    QTEST(rows(), "rows");
    QTEST((emitted + m_returns).join(u' '), "signals");
    QTEST(log(), "calls");
    QFETCH(QString, values);
    for (const QString &probe : values.split(u' ', Qt::SkipEmptyParts)) {
        const QString key = probe.section(u'.', 0, 0), property = probe.section(u'=', 0, 0);
        QObject *object = key == u"m" ? static_cast<QObject *>(m_model) : user(key);
        QVERIFY2(object, qPrintable(probe));
        const QVariant value = object->property(property.section(u'.', 1).toLatin1());
        QCOMPARE(key + u'.' + property.section(u'.', 1) + u'=' + text(value), probe);
    }
}

void EngineEventsTest::lifecycle_data()
{
    addRows({
        {"join, other", "add 204", "sigNotifyJoin 204 100 room",
         "100,201,202,203,204|100,201,202,203,204||", "", "", "204.state=1 204.muteVideo=0"},
        {"join, own", "", "sigNotifyJoin 100 100 room", "", "notifySwitchWindow()", "", ""},
        {"ready, other in a private call", "private", "sigNotifyReady 201 room; 201.setVolume 2.5",
         "", "privateCallStatus(1)", "setVolume(201,2.5)", ""},
        {"ready, own under mute-all", "sigNotifyTransfer 100 201; sigNotifyMuteAll true 0",
         "sigNotifyReady 100 room; 202.setVolume 2", "", "",
         "setMute(true,100,0,true) setVolume(202,2)", "100.muteVoice=3 100.muteVoiceLocal=true"},
        {"reconnect, own", "", "sigNotifyReconnect 100 100 room", "", "notifySwitchWindow()", "",
         ""},
        {"reconnect, whiteboard gone", "share 201 whiteBoard; search; unshare 201",
         "sigNotifyReconnect 201 100 room", "100,201,202,203|100,201,202,203||100,201,202,203",
         "kickedOut(201,2,1)", "", ""},
        {"reconnect, whiteboard kept", "share 201 whiteBoard", "sigNotifyReconnect 201 100 room",
         "100,201,201w,202,203|100,201,201w,202,203||", "", "", ""},
        {"reconnect, malformed", "", "sigNotifyReconnect 201 5 bad", "", "", "", ""},
        {"leave, other", "", "sigNotifyLeave 202", "100,201,203|100,201,203||",
         "kickedOut(202,2,0)", "", ""},
        {"kicked, other", "", "sigNotifyKicked 100 202", "100,201,203|100,201,203||",
         "kickedOut(202,2,0)", "", ""},
        {"leave, own", "", "sigNotifyLeave 100; setProxy p", "201,202,203|201,202,203||",
         "stateChanged(0) kickedOut(100,0,0)", "", ""},
        {"kicked, own by host", "", "sigNotifyKicked 201 100", "201,202,203|201,202,203||",
         "stateChanged(0) kickedOut(100,0,0)", "error(0,meeting_call_removed,0)", ""},
        {"kicked, own by server", "", "sigNotifyKicked 0 100", "201,202,203|201,202,203||",
         "stateChanged(0) kickedOut(100,0,0)", "", ""},
        {"kicked, own elsewhere while sharing", "share 100 screen", "sigNotifyKicked 100 100", "",
         "stateChanged(0) sigCloseShare(100,share-100) isSharedChanged(false) "
         "kickedOut(100,1,2) kickedOut(100,0,0)",
         "error(0,meeting_call_exist,0)", ""},
        {"dismissed, no list to take it back", "", "sigNotifyDismiss 100", "", "", "",
         "m.state=2 100.state=1"},
        {"invite, new", "", "sigNotifyInvite 204 100", "100,201,202,203,204|100,201,202,203|204|",
         "", "", "204.state=5"},
        {"invite, known", "", "sigNotifyInvite 202 100", "", "", "", "202.state=5"},
        {"reject", "", "sigNotifyReject 201", "100,202,203,201|100,202,203|201|", "", "",
         "201.state=6"},
        {"timeout", "", "sigNotifyTimeout 201", "100,202,203,201|100,202,203|201|", "", "",
         "201.state=7"},
        {"transfer", "", "sigNotifyTransfer 100 201", "",
         "isHostChanged(false) transferred(201) hostUidChanged(201)", "", "m.isHost=false"},
        {"call connected", "share 201 whiteBoard; sigNotifyStateChange 2", "sigNotifyStateChange 1",
         "100,201,201w,202,203|100,201,201w,202,203||", "userJoinData(1234,share-201)", "",
         "100.state=1"},
        {"call interrupted", "", "sigNotifyStateChange 2", "", "", "", "100.state=3"},
        {"ice restarted", "sigNotifyStateChange 2", "sigNotifyRestartIce", "", "", "",
         "100.state=1"},
        {"call ended", "", "sigNotifyStateChange 0; setProxy p", "", "", "", "m.state=2"},
        {"score", "", "sigNotifyScore 201 0; sigNotifyScore 999 0", "", "", "",
         "201.networkScore=0"},
        {"score, private call", "private", "sigNotifyScore 201 0", "", "privateCallStatus(2)", "",
         ""},
        {"new consumer", "sigNotifyReady 100 room",
         "sigNotifyNewConsumer 201 1; sigNotifyNewConsumer 999 1", "", "", "setVolume(201,5)", ""},
        {"kick", "", "kicked 201", "", "", "kicked(201,true)", ""},
        {"transfer while the host alone may share", "share 100 screen", "transfer 201",
         "100,100s,201,202,203|100,100s,201,202,203||", "", "closeShare(share-100) transfer(201)",
         ""},
        {"invite users", "", "inviteUser [301]", "", "", "request(232)", ""},
        {"reject meeting", "", "rejectMeeting 1", "", "", "request(233)", ""},
        {"cancel call", "", "cancelCall; untilSent", "", "", "request(233)", ""},
    });
}

void EngineEventsTest::muteReport_data()
{
    addRows({
        {"own mic by user", "", "sigNotifyMute 100 100 1 0", "", "", "",
         "100.muteVoice=1 100.muteVoiceLocal=true"},
        {"own mic freed by host, was on", "state 100 0 3", "sigNotifyMute 201 100 1 0", "",
         "requestOpenDev(0,false)", "", "100.muteVoice=1 100.muteVoiceLocal=true"},
        {"own mic freed by user", "state 100 0 3", "sigNotifyMute 100 100 1 0", "", "", "",
         "100.muteVoice=1"},
        {"other mic", "", "sigNotifyMute 201 202 1 0", "", "", "",
         "202.muteVoice=1 202.muteVoiceLocal=false"},
        {"own camera freed by host, was on", "sigNotifyMute 100 100 0 1; state 100 1 3",
         "sigNotifyMute 201 100 1 1", "", "requestOpenDev(2,false)", "",
         "100.muteVideo=1 100.muteVideoLocal=true"},
        {"own camera freed by user", "state 100 1 3", "sigNotifyMute 100 100 1 1", "", "", "",
         "100.muteVideo=1"},
        {"other camera off", "", "sigNotifyMute 202 202 1 1", "100,201,203,202|100,201,203,202||",
         "", "", "202.muteVideo=1"},
        {"other camera off already", "state 202 1 2", "sigNotifyMute 202 202 1 1", "", "", "",
         "202.muteVideo=1"},
        {"other camera on, first picture", "dark", "sigNotifyMute 202 202 0 1",
         "100,202,201,203|100,202,201,203||", "notifySwitchWindow()", "", "202.muteVideo=0"},
        {"other camera on, pictures shown", "state 202 1 1", "sigNotifyMute 202 202 0 1", "", "",
         "", "202.muteVideo=0"},
        {"other screen off", "share 202 screen", "sigNotifyMute 202 202 1 3",
         "100,201,202,203,202s|100,201,202,203,202s||", "", "", "202s.muteVideo=1"},
        {"own whiteboard off", "share 100 whiteBoard", "sigNotifyMute 100 100 1 2",
         "100,201,202,203,100w|100,201,202,203,100w||", "", "", "100w.muteVideoLocal=true"},
        {"own share sound", "share 100 screen", "sigNotifyMute 100 100 1 4",
         "100,100s,201,202,203|100,100s,201,202,203||", "", "",
         "100s.muteVoice=1 100s.muteVoiceLocal=true 100.muteVoice=0"},
        {"unknown type", "", "sigNotifyMute 202 202 1 7", "", "", "",
         "202.muteVideo=0 202.muteVoice=0"},
        {"unknown user", "", "sigNotifyMute 202 999 1 0", "", "", "", "202.muteVoice=0"},
    });
}

void EngineEventsTest::media_data()
{
    const char *shared = "100,100s,201,202,203|100,100s,201,202,203||";
    addRows({
        {"mute-all spares the host", "sigNotifyTransfer 100 201", "sigNotifyMuteAll true 0", "", "",
         "", "100.muteVoice=3 100.muteVoiceLocal=true 201.muteVoice=0 202.muteVoice=3"},
        {"mute-all lifted",
         "sigNotifyTransfer 100 201; sigNotifyMuteAll true 0; sigNotifyMute 203 203 0 0",
         "sigNotifyMuteAll false 0", "", "", "",
         "100.muteVoice=1 100.muteVoiceLocal=true 202.muteVoice=1 203.muteVoice=0"},
        {"reopen mic under mute-all", "sigNotifyTransfer 100 201; sigNotifyMuteAll true 0",
         "setRequestOpenDev 0", "", "", "setMuteAll(false,true,0) setRequestOpenDev(0)", ""},
        {"reopen camera under mute-all", "sigNotifyAllowUnmute false 1; sigNotifyMuteAll true 1",
         "setRequestOpenDev 1", "", "", "setMuteAll(false,false,1) setRequestOpenDev(1)", ""},
        {"reopen camera", "", "setRequestOpenDev 1", "", "", "setRequestOpenDev(1)", ""},
        {"allow unmute", "", "sigNotifyAllowUnmute false 1; sigNotifyAllowUnmute false 1", "",
         "canUnmuteVideoChanged(false)", "", "m.canUnmuteAudio=true"},
        {"posted controls", "",
         "setMuteAll true false 1; setAllowUnmute true 0; setConsumerlayers 2 1 201; "
         "setSoundEffectType 1; setProxy p:1",
         "", "",
         "setMuteAll(true,false,1) setAllowUnmute(true,0) setConsumerlayers(2,1,201) "
         "setSoundEffectType(1) setProxy(p:1)",
         ""},
        // The engine gives meaning to values it does not declare.
        {"undeclared values pass", "",
         "setMuteAll true false 9; setAllowUnmute true -1; setConsumerlayers 7 -2 201; "
         "setSoundEffectType 40",
         "", "",
         "setMuteAll(true,false,9) setAllowUnmute(true,-1) setConsumerlayers(7,-2,201) "
         "setSoundEffectType(40)",
         ""},
        {"reopen undeclared device under mute-all", "sigNotifyMuteAll true 1",
         "setRequestOpenDev 5", "", "", "setMuteAll(false,true,5) setRequestOpenDev(5)", ""},
        {"devices", "", "setDevice mic 0; setDevice mic 1; setDevice mic 2; setDevice mic 3", "",
         "return(-1) return(-1) return(-1) return(-1)",
         "setAudioRecordingDevice(mic) setAudioPlayoutDevice(mic) setVideoRecordingDevice(mic)",
         ""},
        {"mirror", "", "setMirror false; setMirror false", "", "mirrorChanged(false)",
         "setMirror(false)", ""},
        {"max decibel", "", "getMaxDecibel", "", "return(42)", "getMaxDecibel()", ""},
        {"without engine", "sigNotifyStateChange 0",
         "setMuteAll true false 0; setRequestOpenDev 0; setDevice mic 0; setMirror false; "
         "getMaxDecibel; 201.setVolume 1",
         "", "return(-1) return(-1)", "", "m.mirror=true"},
        {"engine asks to enable", "sigNotifyMute 201 100 1 0; sigNotifyMute 201 100 1 1",
         "sigNotifyRequestEnable 0; sigNotifyRequestEnable 1", "",
         "requestOpenDev(0,true) requestOpenDev(1,true)", "", ""},
        {"engine asks, device open", "", "sigNotifyRequestEnable 0", "", "", "", ""},
        {"engine asks, no video meetings", "sigNotifyMute 201 100 1 1; meetingType 1",
         "sigNotifyRequestEnable 1", "", "", "", ""},
        {"hidden camera sinks", "sigNotifyReady 100 room", "201.setMuteVideoLocal true",
         "100,202,203,201|100,202,203,201||", "", "setMute(true,201,1,true)", ""},
        {"silenced attendee made audible", "sigNotifyReady 100 room",
         "201.setVolume 0; 201.setVolume 3", "", "",
         "setMute(true,201,0,true) setVolume(201,0) setVolume(201,3) setMute(false,201,0,true)",
         "201.volume=3 201.muteVoiceLocal=false"},
        {"own mic takes own share sound along", "share 100 screen; sigNotifyReady 100 room",
         "100.setMuteVoice 1", shared, "", "setMute(true,100,0,false) setMute(true,100,4,false)",
         ""},
        {"own mic opens alone",
         "share 100 screen; sigNotifyReady 100 room; sigNotifyMute 100 100 1 0; "
         "sigNotifyMute 100 100 1 4",
         "100.setMuteVoice 0", shared, "", "setMute(false,100,0,false)", "100s.muteVoice=1"},
        {"muted own mic heard", "sigNotifyMute 100 100 1 0", "sigNotifyDecibel 100 2 10 50 [1,2]",
         "", "", "setMute(true,100,0,true)", "100.decibel=0 100.isSpeaking=false"},
        {"levels", "", "sigNotifyDecibel 201 2 10 50 [1,2]; sigNotifyDecibel 202 4 10 50 []", "",
         "", "",
         "201.decibel=50 201.averageDecibel=10 201.decibels=1+2 201.isSpeaking=true "
         "202.decibel=0"},
        {"whiteboard levels", "share 201 whiteBoard", "sigNotifyDecibel 201 4 10 50 []",
         "100,201,201w,202,203|100,201,201w,202,203||", "", "", "201w.decibel=50 201.decibel=0"},
    });
}

// Ann's whiteboard comes with the room ("share-201"); screen and window shares are reported.
void EngineEventsTest::shares_data()
{
    const char *both = "share 201 whiteBoard; sigNotifyCreateShare 201 s-1 2";
    const char *bothRows = "100,201,201s,201w,202,203|100,201,201s,201w,202,203||";
    addRows({
        {"second kind of share", "share 201 whiteBoard", "sigNotifyCreateShare 201 s-1 2", bothRows,
         "createShareSuccess(2,201,s-1)", "", "201s.shareId=s-1 201w.shareId=share-201"},
        {"second share of one kind", "sigNotifyCreateShare 201 s-1 2",
         "sigNotifyCreateShare 201 s-2 2", "100,201,201s,202,203|100,201,201s,202,203||", "", "",
         "201s.shareId=s-1"},
        {"window share", "", "sigNotifyCreateShare 202 a-1 3",
         "100,201,202,202s,203|100,201,202,202s,203||", "createShareSuccess(3,202,a-1)", "",
         "202s.shareId=a-1 202s.type=2"},
        {"screen mute", both, "sigNotifyMute 201 201 1 3; sigNotifyMute 201 201 1 4",
         "100,201,201w,202,203,201s|100,201,201w,202,203,201s||", "", "",
         "201s.muteVideo=1 201s.muteVoice=1 201w.muteVideo=0 201w.muteVoice=0"},
        {"whiteboard mute", both, "sigNotifyMute 201 201 1 2",
         "100,201,201s,202,203,201w|100,201,201s,202,203,201w||", "", "",
         "201w.muteVideo=1 201s.muteVideo=0"},
        {"screen closed, whiteboard stays", both, "sigNotifyCloseShare 201 s-1",
         "100,201,201w,202,203|100,201,201w,202,203||", "sigCloseShare(201,s-1) kickedOut(201,2,2)",
         "", "201w.shareId=share-201"},
        {"whiteboard closed, screen stays", both, "sigNotifyCloseShare 201 share-201",
         "100,201,201s,202,203|100,201,201s,202,203||",
         "sigCloseShare(201,share-201) kickedOut(201,3,1)", "", "201s.shareId=s-1"},
        {"close names no share", "sigNotifyCreateShare 201 s-1 2", "sigNotifyCloseShare 201 x-9",
         "100,201,201s,202,203|100,201,201s,202,203||", "sigCloseShare(201,x-9)", "", ""},
        {"own shares closed one by one", "share 100 whiteBoard; sigNotifyCreateShare 100 s-1 2",
         "sigNotifyCloseShare 100 share-100; sigNotifyCloseShare 100 s-1", "",
         "sigCloseShare(100,share-100) sigCloseShare(100,s-1) isSharedChanged(false) "
         "kickedOut(100,2,1) kickedOut(100,1,2)",
         "", "m.isShared=false"},
        {"room applied again", "share 201 whiteBoard",
         "sigNotifyJoin 100 100 room; sigNotifyJoin 100 100 room",
         "100,201,201w,202,203|100,201,201w,202,203||",
         "userJoinData(1234,share-201) userJoinData(1234,share-201) notifySwitchWindow() "
         "notifySwitchWindow()",
         "", ""},
        {"closed board", "share 201 whiteBoard; sigNotifyJoin 100 100 room",
         "sigNotifyCloseShare 201 share-201; sigNotifyStateChange 1", "",
         "sigCloseShare(201,share-201) kickedOut(201,2,1)", "", ""},
        {"board of a user who left", "share 201 whiteBoard",
         "sigNotifyLeave 201; sigNotifyStateChange 1", "100,202,203|100,202,203||",
         "kickedOut(201,1,0) kickedOut(201,1,1)", "", ""},
    });
}

void EngineEventsTest::errors_data()
{
    struct Error
    {
        int error, code;
        const char *text;
    };
    const Error table[] = {{8, ERR_MUTE, "meeting_mute_fail"},
                           {9, ERR_KICKED, "meeting_kick_fail"},
                           {11, ERR_TOKEN, "meeting_token_expired"},
                           {12, ERR_TOKEN, "meeting_token_expired"},
                           {13, ERR_TOKEN, "meeting_token_expired"},
                           {16, ERR_TRANSFER, "meeting_transfer_fail"},
                           {17, ERR_SOCKET, "socket-1006"},
                           {19, ERR_CONNECT, "meeting_call_removed"},
                           {20, ERR_SHARE, "meeting_share_failed"},
                           {21, ERR_SHARE_PERMISSION, "meeting_share_permission_failed"},
                           {29, ERR_PermissionDenied, "meeting_permission_denied"},
                           {30, ERR_UNKNOW, "socket-1006"},
                           {0, ERR_CONNECT, "meeting_connection_fail"},
                           {10, ERR_CONNECT, "meeting_connection_fail"},
                           {31, ERR_CONNECT, "meeting_connection_fail"}};
    addRows({});
    for (const Error &e : table) {
        // An expired token is renewed by joining again.
        const bool token = e.code == ERR_TOKEN;
        QTest::addRow("%d", e.error)
            << "" << QStringLiteral("sigNotifyError %1 socket-1006").arg(e.error)
            << "100,201,202,203|100,201,202,203||"
            << QStringLiteral("meetingError(%1,%2)").arg(e.code).arg(QLatin1String(e.text))
            << (token ? "setJoiningMeeting(true) request(234)" : "") << "";
    }
}

void EngineEventsTest::dismissDeletesModel()
{
    MeetingList *list = m_manager->meetingList(QStringLiteral("d-1"), true);
    list->setMeetings({{QStringLiteral("m-1"), m_model->meetingInfo()}});
    QPointer<MeetingModel> listed = list->getMeetingModel(QStringLiteral("m-1"));
    QVERIFY(listed);
    listed->setDevices(QString(), QString(), QString());
    m_engine = Engine::last();
    fromEngine("sigNotifyDismiss", {qint64(100)});
    QVERIFY(!listed);
    QCOMPARE(list->count(), 0);
    QCOMPARE(AccountManager::getInstance()->calls(QStringLiteral("meetingBeFinished")).size(), 1);
}

void EngineEventsTest::speaking_data()
{
    const char *loud = "sigNotifyDecibel 201 2 1 30 []; sigNotifyDecibel 202 2 1 30 []; period; ";
    addRows({
        {"threshold", "",
         "sigNotifyDecibel 201 2 1 20 []; sigNotifyDecibel 202 2 1 19.999 []; period", "",
         "whoRSpeakingChanged(Ann)", "", "201.isSpeaking=true 202.isSpeaking=false"},
        {"loud then quiet", "",
         "sigNotifyDecibel 201 2 1 30 []; sigNotifyDecibel 201 2 1 10 []; period", "", "", "",
         "201.isSpeaking=false"},
        {"quiet then loud", "",
         "sigNotifyDecibel 201 2 1 10 []; sigNotifyDecibel 201 2 1 30 []; period", "",
         "whoRSpeakingChanged(Ann)", "", "201.isSpeaking=true"},
        {"order of arrival", "",
         "sigNotifyDecibel 202 2 1 30 []; sigNotifyDecibel 201 2 1 30 []; period", "",
         "whoRSpeakingChanged(Bob+Ann)", "", ""},
        {"back at the end", loud,
         "sigNotifyDecibel 201 2 1 30 []; sigNotifyDecibel 202 2 1 30 []; "
         "sigNotifyDecibel 201 2 1 10 []; sigNotifyDecibel 201 2 1 30 []; period",
         "", "whoRSpeakingChanged(Bob+Ann)", "", ""},
        {"same speakers, same order", loud, loud, "", "", "", "201.isSpeaking=true"},
        {"same speakers, other order", loud,
         "sigNotifyDecibel 202 2 1 30 []; sigNotifyDecibel 201 2 1 40 []; period", "",
         "whoRSpeakingChanged(Bob+Ann)", "", ""},
        {"silence clears", loud, "period", "", "whoRSpeakingChanged()", "",
         "201.isSpeaking=false 202.isSpeaking=false"},
        {"share sound is no speaker", "", "sigNotifyDecibel 201 4 1 30 []; period", "", "", "",
         "201.isSpeaking=false"},
    });
}

QTEST_MAIN(EngineEventsTest)
#include "tst_engineevents.moc"
