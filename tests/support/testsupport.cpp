#include "testsupport.h"
#include <QCoreApplication>
#include <QEventLoop>

namespace testsupport {

QVariant UserRoleProxy::data(const QModelIndex &index, int role) const
{
    if (role < Qt::UserRole)
        return {};
    return QIdentityProxyModel::data(index, role);
}

ModelChecker::ModelChecker(QAbstractItemModel *model)
    : m_proxy(std::make_unique<UserRoleProxy>())
{
    m_proxy->setSourceModel(model);
    m_tester = std::make_unique<QAbstractItemModelTester>(
        m_proxy.get(), QAbstractItemModelTester::FailureReportingMode::Fatal);
}

ModelChecker::~ModelChecker() = default;

void drainEvents()
{
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
}

} // namespace testsupport
