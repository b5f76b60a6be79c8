#include "meetingserver.h"
#include "connection.h"
#include "meeting.pb.h"
#include "room.h"
#include "wireformat.h"
#include <QCryptographicHash>
#include <QDateTime>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>
#include <QUrl>
#include <QUrlQuery>

Q_LOGGING_CATEGORY(lcServer, "im.server")

namespace {
QByteArray tokenHash(const QByteArray &token)
{
    return QCryptographicHash::hash(token, QCryptographicHash::Sha256);
}

// The engine's "removed from the meeting" error number.
constexpr int kErrRemoved = 19;
constexpr int kErrUnknown = 30;

void mediaError(QWebSocket *socket, int code)
{
    im::wire::MediaMessage refusal;
    refusal.set_kind(im::wire::ERROR);
    refusal.set_code(code);
    refusal.set_text("refused");
    socket->sendTextMessage(Room::frame(refusal));
}
} // namespace

MeetingServer::MeetingServer(QObject *parent)
    : QObject(parent), m_server(QStringLiteral("meeting-server"), QWebSocketServer::NonSecureMode)
{
    connect(&m_server, &QWebSocketServer::newConnection, this, &MeetingServer::onNewConnection);
}

MeetingServer::~MeetingServer()
{
    m_server.close();
    // Rooms and connections refer to the directory and store; they go first.
    qDeleteAll(m_rooms);
    qDeleteAll(findChildren<Connection *>(Qt::FindDirectChildrenOnly));
    delete m_directory;
}

bool MeetingServer::start(const Options &options, QString *error)
{
    m_options = options;
    m_store = std::make_unique<Store>(QStringLiteral("meeting-server"));
    if (!m_store->open(options.database)) {
        *error = QStringLiteral("the database cannot be opened");
        return false;
    }
    if (!options.config.isEmpty() && !seed(options.config, error))
        return false;
    m_tokens = std::make_unique<MediaToken>(m_store->secret());
    m_directory = new Directory(
        *m_store, [this](const QString &id, qint64 uid) { return mediaUrl(id, uid); });
    m_directory->load();
    m_batcher = new PushBatcher(
        options.pushWindowMs,
        [this](const QList<qint64> &to, im::wire::PushKind kind, const QByteArray &payload) {
            deliver(to, kind, payload);
        },
        this);
    connect(m_directory, &Directory::pushReady, this, &MeetingServer::hold);
    connect(m_directory, &Directory::invited, this,
            [this](const QString &id, qint64 uid, qint64 inviter) {
                if (Room *r = m_rooms.value(id))
                    r->called(uid, inviter);
            });
    connect(m_directory, &Directory::declined, this, [this](const QString &id, qint64 uid) {
        if (Room *r = m_rooms.value(id))
            r->declined(uid);
    });
    connect(m_directory, &Directory::meetingEnded, this, [this](const QString &id) {
        if (Room *r = m_rooms.take(id)) {
            r->dismiss();
            r->deleteLater();
        }
    });
    if (options.janus.isValid())
        watchMediaRooms();
    m_gate = new MediaGate([this](const MediaGate::Request &r) { return onWebRequest(r); },
                           options.maxFrame, this);
    connect(m_gate, &MediaGate::mediaConnection, this, &MeetingServer::acceptMedia);
    if (!MediaGate::ensureCertificate(options.certDir, error) ||
        !m_gate->listen(options.certDir, options.address, options.mediaPort, error))
        return false;
    m_server.setMaxPendingConnections(1024);
    if (!m_server.listen(options.address, options.port)) {
        *error = m_server.errorString();
        return false;
    }
    return true;
}

bool MeetingServer::seed(const QString &configPath, QString *error)
{
    QFile f(configPath);
    QJsonParseError parseError;
    const QJsonDocument doc = f.open(QIODevice::ReadOnly)
                                  ? QJsonDocument::fromJson(f.readAll(), &parseError)
                                  : QJsonDocument();
    if (!doc.isObject()) {
        *error = QStringLiteral("the config is not a JSON object");
        return false;
    }
    const QJsonObject root = doc.object();
    for (const QJsonValue &v : root.value(QStringLiteral("accounts")).toArray()) {
        const QJsonObject a = v.toObject();
        const qint64 id = qint64(a.value(QStringLiteral("id")).toDouble());
        const QByteArray token = a.value(QStringLiteral("token")).toString().toUtf8();
        if (id <= 0 || token.isEmpty() || !m_store->upsertAccount(id, tokenHash(token))) {
            *error = QStringLiteral("an account in the config is incomplete");
            return false;
        }
    }
    for (const QJsonValue &v : root.value(QStringLiteral("conversations")).toArray()) {
        const QJsonObject o = v.toObject();
        StoredConversation c;
        c.id = o.value(QStringLiteral("id")).toString();
        c.isGroup = o.value(QStringLiteral("group")).toBool(true);
        for (const QJsonValue &m : o.value(QStringLiteral("members")).toArray())
            c.members.append(qint64(m.toDouble()));
        if (c.id.isEmpty() || !m_store->upsertConversation(c)) {
            *error = QStringLiteral("a conversation in the config is incomplete");
            return false;
        }
    }
    return true;
}

void MeetingServer::onNewConnection()
{
    while (QWebSocket *socket = m_server.nextPendingConnection()) {
        auto *c = new Connection(socket, m_options.maxFrame, this);
        connect(c, &Connection::request, this, &MeetingServer::onRequest);
        connect(c, &Connection::closed, this, [this](Connection *closed) {
            m_signedIn.remove(closed->accountId(), closed);
            closed->deleteLater();
        });
    }
}

void MeetingServer::onRequest(Connection *c, const im::wire::Envelope &e)
{
    if (e.command() == kSignIn)
        return signIn(c, e);
    if (c->accountId() == 0)
        return c->answer(e.request_id(), e.command(), Connection::NotSignedIn);
    if (waitsForRoom(c, e))
        return;
    // Pushes a command causes leave after its answer, so they never overtake it.
    QList<HeldPush> held;
    m_held = &held;
    const QByteArray payload = QByteArray::fromStdString(e.payload());
    const Directory::Reply reply = m_directory->handle(c->accountId(), e.command(), payload);
    m_held = nullptr;
    c->answer(e.request_id(), e.command(), reply.code, reply.body);
    for (const HeldPush &p : std::as_const(held))
        m_batcher->push(p.mergeKey, p.recipients, p.kind, p.payload);
}

void MeetingServer::signIn(Connection *c, const im::wire::Envelope &e)
{
    im::wire::SignInReq req;
    const std::string &payload = e.payload();
    const bool parsed = req.ParseFromArray(payload.data(), int(payload.size()));
    const std::optional<QByteArray> stored =
        parsed ? m_store->accountTokenHash(req.account_id()) : std::nullopt;
    const bool ok = stored && *stored == tokenHash(QByteArray::fromStdString(req.token()));
    if (!parsed || !ok || (c->accountId() != 0 && c->accountId() != req.account_id())) {
        qCInfo(lcServer) << "sign-in refused";
        return c->answer(e.request_id(), e.command(),
                         parsed ? int(Connection::NotSignedIn) : int(Connection::BadFrame));
    }
    if (c->accountId() == 0) {
        c->setAccountId(req.account_id());
        m_signedIn.insert(req.account_id(), c);
    }
    const im::wire::SignInResp resp = m_directory->signInAnswer(req.account_id());
    QByteArray body(int(resp.ByteSizeLong()), Qt::Uninitialized);
    resp.SerializeToArray(body.data(), int(body.size()));
    c->answer(e.request_id(), e.command(), 0, body);
}

void MeetingServer::hold(const QList<qint64> &recipients, im::wire::PushKind kind,
                         const QByteArray &payload, const QString &mergeKey)
{
    if (m_held)
        m_held->append({recipients, kind, payload, mergeKey});
    else
        m_batcher->push(mergeKey, recipients, kind, payload);
}

void MeetingServer::deliver(const QList<qint64> &recipients, im::wire::PushKind kind,
                            const QByteArray &payload)
{
    // One frame for every receiver: a push is encoded once, not once per connection.
    const QByteArray frame = Connection::pushFrame(kind, payload);
    for (qint64 uid : recipients) {
        const QList<Connection *> devices = m_signedIn.values(uid);
        for (Connection *c : devices)
            c->sendFrame(frame);
    }
}

void MeetingServer::watchMediaRooms()
{
    m_mediaRooms = new MediaRooms(m_options.janus, m_options.janusTimeoutMs, this);
    connect(m_directory, &Directory::meetingStarted, m_mediaRooms, &MediaRooms::ensure);
    connect(m_directory, &Directory::meetingEnded, this, [this](const QString &id) {
        m_mediaRooms->release(id);
        resumeJoins(id, false);
    });
    connect(m_mediaRooms, &MediaRooms::settled, this, &MeetingServer::resumeJoins);
}

// An attendee's join needs the meeting's media room; while it is being made, the join waits.
bool MeetingServer::waitsForRoom(Connection *c, const im::wire::Envelope &e)
{
    im::meeting::JoinMeetingReq req;
    if (!m_mediaRooms || e.command() != kJoin ||
        !wire::parse(req, QByteArray::fromStdString(e.payload())))
        return false;
    const QString id = wire::str(req.meeting_id());
    if (!m_directory->isAttendee(id, c->accountId()) || m_mediaRooms->ready(id))
        return false;
    m_waitingJoins[id].append({c, e});
    m_mediaRooms->ensure(id);
    return true;
}

// Waiting joins are answered once the room exists and refused when it could not be made or
// the meeting finished meanwhile.
void MeetingServer::resumeJoins(const QString &meetingId, bool roomMade)
{
    const QList<WaitingJoin> waiting = m_waitingJoins.take(meetingId);
    const int refusal =
        m_directory->hostOf(meetingId) ? Directory::Unavailable : Directory::NotFound;
    for (const WaitingJoin &w : waiting) {
        if (!w.connection)
            continue;
        if (roomMade)
            onRequest(w.connection, w.request);
        else
            w.connection->answer(w.request.request_id(), w.request.command(), refusal);
    }
}

void MeetingServer::acceptMedia(QWebSocket *socket)
{
    socket->setParent(this);
    connect(socket, &QWebSocket::disconnected, socket, &QObject::deleteLater);
    const MediaToken::Checked checked =
        m_tokens->check(QUrlQuery(socket->requestUrl()), QDateTime::currentSecsSinceEpoch());
    const bool attendee = checked.refusal == MediaToken::None &&
                          m_directory->isAttendee(checked.meetingId, checked.uid);
    if (!attendee) {
        mediaError(socket,
                   checked.refusal == MediaToken::None ? kErrRemoved : int(checked.refusal));
        socket->close();
        return;
    }
    const QString meetingId = checked.meetingId;
    const qint64 uid = checked.uid;
    connect(socket, &QWebSocket::binaryMessageReceived, socket,
            [socket](const QByteArray &) { mediaError(socket, kErrUnknown); });
    connect(socket, &QWebSocket::textMessageReceived, this,
            [this, socket, meetingId, uid](const QString &frame) {
                Room *r = m_rooms.value(meetingId);
                im::wire::MediaMessage m;
                if (!r)
                    return;
                if (frame.size() > m_options.maxFrame || !Room::parseFrame(frame, &m)) {
                    return mediaError(socket, kErrUnknown);
                }
                r->receive(uid, m);
            });
    connect(socket, &QWebSocket::disconnected, this, [this, socket, meetingId, uid] {
        if (Room *r = m_rooms.value(meetingId))
            r->disconnected(uid, socket);
    });
    QUrl logUrl;
    logUrl.setScheme(QStringLiteral("https"));
    logUrl.setHost(m_options.address.toString());
    logUrl.setPort(m_gate->port());
    logUrl.setPath(QStringLiteral("/media/log"));
    QUrlQuery logQuery(socket->requestUrl());
    logQuery.removeAllQueryItems(QStringLiteral("secret"));
    logUrl.setQuery(logQuery);
    room(meetingId)->connectEngine(uid, socket, logUrl.toString(QUrl::FullyEncoded));
}

Room *MeetingServer::room(const QString &meetingId)
{
    Room *&r = m_rooms[meetingId];
    if (!r)
        r = new Room(meetingId, *m_directory);
    return r;
}

QString MeetingServer::mediaUrl(const QString &meetingId, qint64 uid) const
{
    QUrl url;
    url.setScheme(QStringLiteral("wss"));
    url.setHost(m_options.address.toString());
    url.setPort(m_gate->port());
    url.setPath(QStringLiteral("/media/"));
    const qint64 expires = QDateTime::currentSecsSinceEpoch() + m_options.tokenLifetimeSecs;
    QUrlQuery query = m_tokens->mint(meetingId, uid, expires);
    if (const MediaRooms::Room *r = m_mediaRooms ? m_mediaRooms->ready(meetingId) : nullptr) {
        // What the WebRTC engine needs; only the host may remove others, so only it gets the
        // room's secret.
        const qint64 host = m_directory->hostOf(meetingId);
        query.addQueryItem(QStringLiteral("janus"), m_mediaRooms->janus().toString());
        query.addQueryItem(QStringLiteral("room"), QString::number(r->number));
        query.addQueryItem(QStringLiteral("host"), QString::number(host));
        if (uid == host)
            query.addQueryItem(QStringLiteral("secret"), r->secret);
    }
    url.setQuery(query);
    return url.toString(QUrl::FullyEncoded);
}

int MeetingServer::onWebRequest(const MediaGate::Request &r)
{
    const QUrlQuery query(r.query);
    const MediaToken::Checked checked = m_tokens->check(query, QDateTime::currentSecsSinceEpoch());
    if (checked.refusal != MediaToken::None)
        return 403;
    if (r.method == QLatin1String("GET") && r.path == QLatin1String("/media/ringing")) {
        const QString status = query.queryItemValue(QStringLiteral("status"));
        if (status != QLatin1String("ringing") && status != QLatin1String("silent"))
            return 400;
        emit reported(
            QStringLiteral("ringing %1 %2 %3").arg(checked.meetingId).arg(checked.uid).arg(status));
        return 204;
    }
    if ((r.method == QLatin1String("PUT") || r.method == QLatin1String("POST")) &&
        r.path == QLatin1String("/media/log")) {
        if (m_store->logBytes(checked.uid) + r.body.size() > m_options.maxLogBytesPerAccount)
            return 413;
        if (!m_store->addLog(checked.uid, checked.meetingId, r.body))
            return 503;
        emit reported(QStringLiteral("log %1 %2").arg(checked.uid).arg(r.body.size()));
        return 204;
    }
    return 404;
}
