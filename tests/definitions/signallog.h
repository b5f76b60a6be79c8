#pragma once
#include <QByteArrayList>
#include <QMetaMethod>
#include <QObject>
#include <QSignalSpy>
#include <memory>
#include <vector>

// Spies on every signal a class adds to QObject and renders what they caught as
// "name(arg,...)", grouped by signal in declaration order, so one list compares a whole
// emission set including what must stay silent.
class SignalLog
{
public:
    explicit SignalLog(QObject *object)
    {
        const QMetaObject *mo = object->metaObject();
        for (int i = QObject::staticMetaObject.methodCount(); i < mo->methodCount(); ++i) {
            const QMetaMethod method = mo->method(i);
            if (method.methodType() != QMetaMethod::Signal)
                continue;
            m_names << method.name();
            m_spies.push_back(std::make_unique<QSignalSpy>(object, method));
        }
    }

    QByteArrayList take()
    {
        QByteArrayList out;
        for (size_t i = 0; i < m_spies.size(); ++i) {
            QSignalSpy &spy = *m_spies[i];
            for (const QVariantList &args : std::as_const(spy)) {
                QByteArrayList texts;
                for (const QVariant &arg : args)
                    texts << arg.toString().toUtf8();
                out << m_names.at(qsizetype(i)) + '(' + texts.join(',') + ')';
            }
            spy.clear();
        }
        return out;
    }

private:
    QByteArrayList m_names;
    std::vector<std::unique_ptr<QSignalSpy>> m_spies;
};
