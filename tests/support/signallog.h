#pragma once
#include <QByteArrayList>
#include <QMetaMethod>
#include <QSignalSpy>
#include <memory>
#include <vector>

// Spies on every signal a class adds to QObject and renders the catch as "name(arg,...)",
// grouped by signal in declaration order: one string holds a whole emission set, including
// what had to stay silent.
class SignalLog
{
public:
    explicit SignalLog(QObject *object)
    {
        const QMetaObject *mo = object->metaObject();
        for (int i = QObject::staticMetaObject.methodCount(); i < mo->methodCount(); ++i) {
            if (mo->method(i).methodType() == QMetaMethod::Signal)
                m_spies.emplace_back(mo->method(i).name(),
                                     std::make_unique<QSignalSpy>(object, mo->method(i)));
        }
    }

    QByteArray take()
    {
        QByteArrayList out;
        for (auto &[name, spy] : m_spies) {
            for (const QVariantList &args : std::as_const(*spy)) {
                QByteArrayList texts;
                for (const QVariant &arg : args)
                    texts << arg.toString().toUtf8();
                out << name + '(' + texts.join(',') + ')';
            }
            spy->clear();
        }
        return out.join(' ');
    }

private:
    std::vector<std::pair<QByteArray, std::unique_ptr<QSignalSpy>>> m_spies;
};
