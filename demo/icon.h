#pragma once
#include <QColor>
#include <QQuickPaintedItem>

// Small line icons drawn with QPainter, so the UI needs no icon font or image files.
class Icon : public QQuickPaintedItem
{
    Q_OBJECT
    Q_PROPERTY(QString name READ name WRITE setName NOTIFY nameChanged)
    Q_PROPERTY(QColor color READ color WRITE setColor NOTIFY colorChanged)
    // For "signal": how many of five bars are lit.
    Q_PROPERTY(int level READ level WRITE setLevel NOTIFY levelChanged)
public:
    explicit Icon(QQuickItem *parent = nullptr);

    QString name() const { return m_name; }
    void setName(const QString &name);
    QColor color() const { return m_color; }
    void setColor(const QColor &color);
    int level() const { return m_level; }
    void setLevel(int level);

    void paint(QPainter *painter) override;

signals:
    void nameChanged();
    void colorChanged();
    void levelChanged();

private:
    QString m_name;
    QColor m_color{Qt::white};
    int m_level = 5;
};
