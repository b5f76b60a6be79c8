#include "whiteboardstore.h"
#include "meetingmodel.h"
#include "whiteboardcontent.pb.h"
#include <QDateTime>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <memory>

namespace {
// Other participants fill the boards; these keep a hostile one from exhausting memory or
// stalling the painting.
constexpr int kMaxBoards = 64;
constexpr int kMaxStrokesPerBoard = 5000;
constexpr int kMaxPointsPerStroke = 2000;
constexpr size_t kMaxMessageBytes = 1024 * 1024;
} // namespace

WhiteboardStore::WhiteboardStore(QObject *parent) : QObject(parent) {}

void WhiteboardStore::watch(MeetingModel *model)
{
    connect(model, &MeetingModel::sigRecvData, this, &WhiteboardStore::receive);
    connect(model, &MeetingModel::sigRecvUserJoinData, this,
            [this, model](im::whiteboard::TransferData *data, const QString &shareId) {
                // Someone opened the board: answer with when it last changed, so the newest
                // copy is the one handed on.
                delete data;
                sendUserJoin(model, shareId, m_changedAt.value(shareId));
            });
    connect(model, &MeetingModel::userJoinData, this,
            [this, model](qlonglong timestamp, const QString &shareId) {
                sendUserJoin(model, shareId, timestamp);
            });
    connect(model, &MeetingModel::createShareSuccess, this,
            [this](int type, qlonglong, const QString &shareId) {
                if (type == MeetingDefines::WHITEBOARD_SHARE && !m_boards.contains(shareId) &&
                    m_boards.size() < kMaxBoards) {
                    m_boards.insert(shareId, {});
                    emit changed(shareId);
                }
            });
    connect(model, &MeetingModel::sigCloseShare, this, [this](qlonglong, const QString &shareId) {
        if (m_boards.remove(shareId))
            emit changed(shareId);
    });
}

void WhiteboardStore::receive(im::whiteboard::TransferData *raw, const QString &shareId)
{
    // The model hands the message over; this is its last reader.
    std::unique_ptr<im::whiteboard::TransferData> data(raw);
    const auto board = m_boards.find(shareId);
    if (!data || !data->has_multi() || board == m_boards.end() ||
        data->ByteSizeLong() > kMaxMessageBytes)
        return;
    for (const auto &single : data->multi().whiteboarddatalist()) {
        if (board->size() >= kMaxStrokesPerBoard)
            break;
        demo::whiteboard::WhiteboardItem item;
        if (!item.ParseFromString(single.data()) || item.kind() != 2 || !item.has_stroke())
            continue;
        Stroke stroke;
        stroke.colour = QColor::fromRgba(item.stroke().argb());
        stroke.width = qBound(0.001, qreal(item.stroke().width()), 0.05);
        const auto &pts = item.stroke().points();
        for (int i = 0; i + 1 < std::min(pts.size(), 2 * kMaxPointsPerStroke); i += 2)
            stroke.points << QPointF(qBound(0.f, pts.Get(i), 1.f),
                                     qBound(0.f, pts.Get(i + 1), 1.f));
        board->append(stroke);
    }
    m_changedAt.insert(shareId, QDateTime::currentMSecsSinceEpoch());
    emit changed(shareId);
}

void WhiteboardStore::draw(MeetingModel *model, const QString &shareId, const QVariantList &points,
                           const QColor &colour)
{
    if (!model || points.size() < 4)
        return;
    demo::whiteboard::WhiteboardItem item;
    item.set_kind(2);
    Stroke stroke{colour, 0.005, {}};
    item.mutable_stroke()->set_argb(colour.rgba());
    item.mutable_stroke()->set_width(float(stroke.width));
    for (int i = 0; i + 1 < points.size(); i += 2) {
        const QPointF pt(points.at(i).toDouble(), points.at(i + 1).toDouble());
        stroke.points << pt;
        item.mutable_stroke()->add_points(float(pt.x()));
        item.mutable_stroke()->add_points(float(pt.y()));
    }
    m_boards[shareId].append(stroke);
    m_changedAt.insert(shareId, QDateTime::currentMSecsSinceEpoch());
    emit changed(shareId);

    auto *data = new im::whiteboard::TransferData;
    data->set_share_id(shareId.toStdString());
    auto *single = data->mutable_multi()->add_whiteboarddatalist();
    single->set_timestamp(QDateTime::currentMSecsSinceEpoch());
    single->set_data(item.SerializeAsString());
    model->sendData(data, shareId);
}

void WhiteboardStore::sendUserJoin(MeetingModel *model, const QString &shareId, qint64 timestamp)
{
    auto *data = new im::whiteboard::TransferData;
    data->set_share_id(shareId.toStdString());
    data->mutable_userjoin()->set_timestamp(timestamp);
    model->sendData(data, shareId);
}

WhiteboardCanvas::WhiteboardCanvas(QQuickItem *parent) : QQuickPaintedItem(parent)
{
    setAntialiasing(true);
    setAcceptedMouseButtons(Qt::LeftButton);
}

void WhiteboardCanvas::setStore(WhiteboardStore *store)
{
    if (m_store == store)
        return;
    if (m_store)
        disconnect(m_store, nullptr, this, nullptr);
    m_store = store;
    if (store) {
        connect(store, &WhiteboardStore::changed, this, [this](const QString &id) {
            if (id == m_shareId)
                update();
        });
    }
    update();
    emit storeChanged();
}

void WhiteboardCanvas::setShareId(const QString &id)
{
    if (m_shareId == id)
        return;
    m_shareId = id;
    update();
    emit shareIdChanged();
}

void WhiteboardCanvas::setMeeting(MeetingModel *meeting)
{
    if (m_meeting == meeting)
        return;
    m_meeting = meeting;
    emit meetingChanged();
}

void WhiteboardCanvas::setEditable(bool editable)
{
    if (m_editable == editable)
        return;
    m_editable = editable;
    emit editableChanged();
}

void WhiteboardCanvas::setInk(const QColor &ink)
{
    if (m_ink == ink)
        return;
    m_ink = ink;
    emit inkChanged();
}

void WhiteboardCanvas::setZoom(qreal zoom)
{
    zoom = qBound(0.5, zoom, 3.0);
    if (qFuzzyCompare(m_zoom, zoom))
        return;
    m_zoom = zoom;
    update();
    emit zoomChanged();
}

QRectF WhiteboardCanvas::board() const
{
    // A 16:9 sheet, centred, scaled by the zoom.
    const qreal w = qMin(width(), height() * 16 / 9) * m_zoom;
    const qreal h = w * 9 / 16;
    return QRectF((width() - w) / 2, (height() - h) / 2, w, h);
}

QPointF WhiteboardCanvas::toBoard(const QPointF &pos) const
{
    const QRectF b = board();
    return QPointF(qBound(0.0, (pos.x() - b.left()) / b.width(), 1.0),
                   qBound(0.0, (pos.y() - b.top()) / b.height(), 1.0));
}

void WhiteboardCanvas::paint(QPainter *painter)
{
    painter->setRenderHint(QPainter::Antialiasing);
    painter->fillRect(boundingRect(), QColor(0xe5e7eb));
    const QRectF b = board();
    painter->setClipRect(boundingRect());
    painter->fillRect(b, Qt::white);
    painter->setPen(QPen(QColor(0xd1d5db), 2));
    const qreal step = b.width() / 32;
    for (qreal x = b.left() + step; x < b.right(); x += step) {
        for (qreal y = b.top() + step; y < b.bottom(); y += step)
            painter->drawPoint(QPointF(x, y));
    }
    auto paintStroke = [painter, &b](const QPolygonF &points, const QColor &colour, qreal width) {
        if (points.size() < 2)
            return;
        QPainterPath path;
        path.moveTo(b.left() + points.first().x() * b.width(),
                    b.top() + points.first().y() * b.height());
        for (const QPointF &pt : points)
            path.lineTo(b.left() + pt.x() * b.width(), b.top() + pt.y() * b.height());
        painter->setPen(
            QPen(colour, qMax(1.5, width * b.width()), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter->setBrush(Qt::NoBrush);
        painter->drawPath(path);
    };
    if (m_store) {
        for (const WhiteboardStore::Stroke &s : m_store->strokes(m_shareId))
            paintStroke(s.points, s.colour, s.width);
    }
    paintStroke(m_current, m_ink, 0.005);
}

void WhiteboardCanvas::mousePressEvent(QMouseEvent *event)
{
    if (!m_editable) {
        event->ignore();
        return;
    }
    m_current = {toBoard(event->position())};
    event->accept();
}

void WhiteboardCanvas::mouseMoveEvent(QMouseEvent *event)
{
    m_current << toBoard(event->position());
    update();
}

void WhiteboardCanvas::mouseReleaseEvent(QMouseEvent *)
{
    QVariantList points;
    for (const QPointF &pt : std::as_const(m_current))
        points << pt.x() << pt.y();
    m_current.clear();
    if (m_store)
        m_store->draw(m_meeting, m_shareId, points, m_ink);
    update();
}
