#pragma once
#include <QByteArray>
#include <QHash>
#include <QString>

class Cast;

// The accounts and conversations of the cast as the meeting server's config file, with a fresh
// random token per account. The file is the only place the tokens are written; it is readable
// by its owner alone.
namespace ServerConfig {
bool write(const Cast &cast, const QString &path, QString *error);
// The account tokens of such a file; empty when it cannot be read.
QHash<qint64, QByteArray> tokens(const QString &path);
} // namespace ServerConfig
