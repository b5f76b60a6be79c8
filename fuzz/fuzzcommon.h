#pragma once
#include <QByteArray>
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
} // namespace fuzz
