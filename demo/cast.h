#pragma once
#include <QColor>
#include <QList>
#include <QString>

// The people and conversations of the demo account. Invented, and the same on every run so
// that screenshots and timelines can be compared.
struct Person
{
    qint64 id = 0;
    QString name;
    QColor colour;
    // Joins group meetings as a listener when speaking privileges are on.
    bool listener = false;
};

struct Conversation
{
    QString dialogId;
    QString title;
    bool isGroup = true;
    QList<qint64> members; // without the account itself
};

class Cast
{
public:
    Cast();

    qint64 selfId() const { return m_self.id; }
    const Person &self() const { return m_self; }
    const QList<Person> &people() const { return m_people; }
    const QList<Conversation> &conversations() const { return m_conversations; }
    // Null for an id nobody has.
    const Person *person(qint64 id) const;
    const Conversation *conversation(const QString &dialogId) const;
    QString name(qint64 id) const;
    void addConversation(const Conversation &conversation) { m_conversations.append(conversation); }

private:
    Person m_self;
    QList<Person> m_people;
    QList<Conversation> m_conversations;
};
