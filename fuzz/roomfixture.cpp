#include "roomfixture.h"
#include "broadcaster.h"
#include "fuzzcommon.h"
#include "meetingattendeelist.h"
#include "meetingmodel.h"
#include <QCoreApplication>
#include <QThread>

namespace fuzz {

namespace {
constexpr int kMaxHeldMessages = 10000;
// The model tester re-reads every row of a list on each of its transactions, and the invariants
// look every row up in every table: on every step of every input they were most of its time.
constexpr int kThoroughEvery = 32;

MeetingInfo baseInfo()
{
    MeetingInfo info;
    info.meetingId = QStringLiteral("m-fuzz");
    info.dialogId = QStringLiteral("d-fuzz");
    info.meetingKey = QByteArray(32, 'k');
    return info;
}
} // namespace

RoomFixture::RoomFixture(AccountBase *account)
    : m_model(std::make_unique<MeetingModel>(baseInfo(), account))
{
    qtwebrtc::Broadcaster::setCallLog(false);
    // A whiteboard view owns what it receives.
    QObject::connect(m_model.get(), &MeetingModel::sigRecvData,
                     [](im::whiteboard::TransferData *d, const QString &) { delete d; });
    QObject::connect(m_model.get(), &MeetingModel::sigRecvUserJoinData,
                     [](im::whiteboard::TransferData *d, const QString &) { delete d; });
    m_invariants.watch(m_model.get());
    for (MeetingAttendeeList *l : m_invariants.lists())
        m_checkers.push_back(std::make_unique<testsupport::ModelChecker>(l));
    reset();
}

RoomFixture::~RoomFixture() = default;

void RoomFixture::reset()
{
    // What the last input deleted later goes now, as it would on the way back to the event loop.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    MeetingModel *m = m_model.get();
    m->clear();
    // With the lists empty these only put back what the last input may have changed.
    call(m, "notifyCloseShare", Q_ARG(qlonglong, kSelf), Q_ARG(QString, QStringLiteral("-")));
    call(m, "notifyJoin", Q_ARG(qlonglong, kSelf), Q_ARG(qlonglong, 0),
         Q_ARG(QByteArray, QByteArray()));
    for (int type : {0, 1})
        call(m, "notifyMuteAll", Q_ARG(bool, false), Q_ARG(int, type));
    m->setCanUnmuteAudio(true);
    m->setCanUnmuteVideo(true);
    m->setCanMultiShare(false);
    m->setcanSpeakingPrivileges(true);
    // The stand-in engine keeps every whiteboard message it is handed; a fresh one now and then
    // keeps a long run's memory flat.
    qtwebrtc::Broadcaster *engine = m->hasEngine() ? qtwebrtc::Broadcaster::last() : nullptr;
    if (engine && engine->heldMessages() > kMaxHeldMessages)
        call(m, "notifyStateChange", Q_ARG(int, qtwebrtc::CALL_ENDED));
    if (!m->hasEngine())
        startEngine();
    // Forgets the whiteboards and puts the own row back.
    m->createCall(false, false);
    m_invariants.forgetDestroyed();
    m_thorough = ++m_inputs % kThoroughEvery == 0;
    for (const auto &checker : m_checkers)
        checker->setPaused(!m_thorough);
}

// The engine is moved to this thread, so the model's calls to it run as they are made: posted to
// the engine's thread, each would wake it with a system call, several times per step. The
// stand-in engine calls nothing back, so the model's own work keeps its order.
void RoomFixture::startEngine()
{
    m_model->setDevices(QString(), QString(), QString());
    qtwebrtc::Broadcaster *engine = qtwebrtc::Broadcaster::last();
    QThread *here = QThread::currentThread();
    QMetaObject::invokeMethod(
        engine, [engine, here] { engine->moveToThread(here); }, Qt::BlockingQueuedConnection);
}

void RoomFixture::check(const char *step, bool last) const
{
    if (!last && !m_thorough)
        return;
    const QString broken = m_invariants.check();
    if (!broken.isEmpty())
        fail(step, broken);
}

RoomFixture &room()
{
    // Destroyed at exit before the engine's statics, so its thread is stopped before they go.
    static RoomFixture fixture(account());
    return fixture;
}

} // namespace fuzz
