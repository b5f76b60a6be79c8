#pragma once
#include <QAbstractItemModelTester>
#include <QIdentityProxyModel>
#include <QList>
#include <QSignalSpy>
#include <QVariantList>
#include <memory>

class QAbstractItemModel;

namespace testsupport {

// The attendee list answers unknown roles with the row map, which the model tester rejects
// for Qt's standard roles; this proxy hides those roles so the tester can still check every
// row transaction.
class UserRoleProxy : public QIdentityProxyModel
{
public:
    using QIdentityProxyModel::QIdentityProxyModel;
    QVariant data(const QModelIndex &index, int role) const override;
};

// Attaches a QAbstractItemModelTester (fatal mode) to `model` through a UserRoleProxy.
class ModelChecker
{
public:
    explicit ModelChecker(QAbstractItemModel *model);
    ~ModelChecker();

private:
    std::unique_ptr<UserRoleProxy> m_proxy;
    std::unique_ptr<QAbstractItemModelTester> m_tester;
};

// Delivers everything queued for the main thread (engine signals, server answers).
void drainEvents();

} // namespace testsupport
