#include "fuzzcommon.h"
#include "accountbase.h"
#include <QCoreApplication>
#include <QGuiApplication>
#include <QLoggingCategory>

namespace fuzz {

AccountBase *account()
{
    static int argc = 1;
    static char name[] = "fuzz";
    static char *argv[] = {name, nullptr};
    static QGuiApplication *app = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        // Rejections are expected by the thousand; keep the output readable.
        QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false\nim.meeting.warning=false"));
        return new QGuiApplication(argc, argv);
    }();
    Q_UNUSED(app);
    static AccountBase *acc = new AccountBase(100, 1);
    return acc;
}

void drain()
{
    for (int i = 0; i < 2; ++i) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
}

} // namespace fuzz
