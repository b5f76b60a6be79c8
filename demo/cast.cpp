#include "cast.h"

Cast::Cast()
{
    m_self = {1001, QStringLiteral("Alex Moreno"), QColor(0x3b82f6), false};
    m_people = {
        m_self,
        {1002, QStringLiteral("Mara Lind"), QColor(0xe4572e), false},
        {1003, QStringLiteral("Tomas Berg"), QColor(0x17bebb), false},
        {1004, QStringLiteral("Ines Duarte"), QColor(0xffc914), false},
        {1005, QStringLiteral("Jun Sato"), QColor(0x76b041), false},
        {1006, QStringLiteral("Lea Novak"), QColor(0xa05195), true},
        {1007, QStringLiteral("Ravi Iyer"), QColor(0xf08a4b), true},
        // Not in any conversation: asks to join through a meeting link.
        {1008, QStringLiteral("Elif Demir"), QColor(0xec4899), false},
    };
    m_conversations = {
        {QStringLiteral("grp-design"),
         QStringLiteral("Design team"),
         true,
         {1002, 1003, 1004, 1005, 1006, 1007}},
        {QStringLiteral("grp-launch"), QStringLiteral("Launch crew"), true, {1002, 1005, 1007}},
        {QStringLiteral("dm-mara"), QStringLiteral("Mara Lind"), false, {1002}},
        {QStringLiteral("dm-tomas"), QStringLiteral("Tomas Berg"), false, {1003}},
    };
}

const Person *Cast::person(qint64 id) const
{
    for (const Person &p : m_people) {
        if (p.id == id)
            return &p;
    }
    return nullptr;
}

const Conversation *Cast::conversation(const QString &dialogId) const
{
    for (const Conversation &c : m_conversations) {
        if (c.dialogId == dialogId)
            return &c;
    }
    return nullptr;
}

QString Cast::name(qint64 id) const
{
    const Person *p = person(id);
    return p ? p->name : QStringLiteral("User %1").arg(id);
}
