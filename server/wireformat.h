#pragma once
#include <QByteArray>
#include <QString>
#include <string>

// Protobuf messages to and from Qt's byte arrays, for every part of the server.
namespace wire {
template <class Message> QByteArray bytesOf(const Message &m)
{
    QByteArray bytes(int(m.ByteSizeLong()), Qt::Uninitialized);
    m.SerializeToArray(bytes.data(), int(bytes.size()));
    return bytes;
}

template <class Message> bool parse(Message &m, const QByteArray &bytes)
{
    return m.ParseFromArray(bytes.constData(), int(bytes.size()));
}

inline QString str(const std::string &s)
{
    return QString::fromStdString(s);
}
} // namespace wire
