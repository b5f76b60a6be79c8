#pragma once
#include <QColor>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QPolygonF>
#include <QQuickPaintedItem>

class MeetingModel;
namespace im::whiteboard {
class TransferData;
}

// The client's whiteboards: the strokes of every open board, kept from the messages the meeting
// models relay, and the user's own strokes sent back through them.
class WhiteboardStore : public QObject
{
    Q_OBJECT
public:
    struct Stroke
    {
        QColor colour;
        qreal width = 0.005;
        QPolygonF points;
    };

    explicit WhiteboardStore(QObject *parent = nullptr);

    void watch(MeetingModel *model);
    QList<Stroke> strokes(const QString &shareId) const { return m_boards.value(shareId); }
    // `points` holds x, y pairs in 0..1 of the board.
    Q_INVOKABLE void draw(MeetingModel *model, const QString &shareId, const QVariantList &points,
                          const QColor &colour);

signals:
    void changed(const QString &shareId);

private:
    void receive(im::whiteboard::TransferData *data, const QString &shareId);
    void sendUserJoin(MeetingModel *model, const QString &shareId, qint64 timestamp);

    QHash<QString, QList<Stroke>> m_boards;
    QHash<QString, qint64> m_changedAt;
};

// Paints one board and, when drawing is allowed, turns mouse strokes into board strokes.
class WhiteboardCanvas : public QQuickPaintedItem
{
    Q_OBJECT
    Q_MOC_INCLUDE("meetingmodel.h")
    Q_PROPERTY(WhiteboardStore *store READ store WRITE setStore NOTIFY storeChanged)
    Q_PROPERTY(QString shareId READ shareId WRITE setShareId NOTIFY shareIdChanged)
    Q_PROPERTY(MeetingModel *meeting READ meeting WRITE setMeeting NOTIFY meetingChanged)
    Q_PROPERTY(bool editable READ editable WRITE setEditable NOTIFY editableChanged)
    Q_PROPERTY(QColor ink READ ink WRITE setInk NOTIFY inkChanged)
    Q_PROPERTY(qreal zoom READ zoom WRITE setZoom NOTIFY zoomChanged)
public:
    explicit WhiteboardCanvas(QQuickItem *parent = nullptr);

    WhiteboardStore *store() const { return m_store; }
    void setStore(WhiteboardStore *store);
    QString shareId() const { return m_shareId; }
    void setShareId(const QString &id);
    MeetingModel *meeting() const { return m_meeting; }
    void setMeeting(MeetingModel *meeting);
    bool editable() const { return m_editable; }
    void setEditable(bool editable);
    QColor ink() const { return m_ink; }
    void setInk(const QColor &ink);
    qreal zoom() const { return m_zoom; }
    void setZoom(qreal zoom);

    void paint(QPainter *painter) override;

signals:
    void storeChanged();
    void shareIdChanged();
    void meetingChanged();
    void editableChanged();
    void inkChanged();
    void zoomChanged();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    QRectF board() const;
    QPointF toBoard(const QPointF &pos) const;

    QPointer<WhiteboardStore> m_store;
    QString m_shareId;
    QPointer<MeetingModel> m_meeting;
    bool m_editable = false;
    QColor m_ink{0x1d4ed8};
    qreal m_zoom = 1.0;
    QPolygonF m_current;
};
