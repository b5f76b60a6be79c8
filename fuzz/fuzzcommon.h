#pragma once
#include <QByteArray>
#include <QMetaObject>
#include <cstddef>
#include <cstdint>

class AccountBase;

namespace fuzz {
// One application and one account for the whole fuzzing run.
AccountBase *account();
void drain();
inline QByteArray bytes(const uint8_t *data, size_t size)
{
    return QByteArray(reinterpret_cast<const char *>(data), int(size));
}
// Engine reports are private slots; the fuzzers reach them the way a queued signal would, through
// the meta-object. `slot` names one slot of `o`'s class (a string literal: it is looked up once).
void call(QObject *o, const char *slot, QGenericArgument a = {}, QGenericArgument b = {},
          QGenericArgument c = {});
// Ends the run so that libFuzzer keeps the input.
[[noreturn]] void fail(const char *step, const QString &what);
} // namespace fuzz
