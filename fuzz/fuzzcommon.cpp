#include "fuzzcommon.h"
#include "accountbase.h"
#include <QCoreApplication>
#include <QGuiApplication>
#include <QHash>
#include <QLoggingCategory>
#include <QMetaMethod>
#include <cstdio>
#include <cstdlib>
#include <google/protobuf/stubs/logging.h>

namespace fuzz {

namespace {
// Rejections and Qt's own warnings come by the thousand; writing them would be most of the run.
// Fatal messages (the model tester's) still say why the run ends.
void quiet(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtFatalMsg || type == QtCriticalMsg)
        std::fprintf(stderr, "%s\n", qPrintable(message));
}

// The slot's index, after checking that the arguments fit it.
int methodIndex(const QMetaObject *mo, const char *slot,
                std::initializer_list<QGenericArgument> args)
{
    int i = mo->methodCount() - 1;
    while (i >= 0 && mo->method(i).name() != slot)
        --i;
    if (i < 0)
        fail(slot, QStringLiteral("no such slot"));
    const QMetaMethod method = mo->method(i);
    int n = 0;
    for (const QGenericArgument &arg : args) {
        if (!arg.name())
            break;
        if (n >= method.parameterCount() || QMetaType::fromName(QMetaObject::normalizedType(
                                                arg.name())) != method.parameterMetaType(n))
            fail(slot, QStringLiteral("arguments do not fit"));
        ++n;
    }
    if (n != method.parameterCount())
        fail(slot, QStringLiteral("arguments do not fit"));
    return i;
}

} // namespace

AccountBase *account()
{
    static int argc = 1;
    static char name[] = "fuzz";
    static char *argv[] = {name, nullptr};
    static QGuiApplication *app = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        // Every post wakes the event dispatcher; Qt's own one writes its wake-up descriptor once
        // until the next poll (which the fuzzers never make), GLib's on every post.
        qputenv("QT_NO_GLIB", "1");
        // Disabled categories skip even formatting the message.
        QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false\nim.meeting.warning=false"));
        qInstallMessageHandler(quiet);
        google::protobuf::SetLogHandler(nullptr);
        return new QGuiApplication(argc, argv);
    }();
    Q_UNUSED(app);
    static AccountBase *acc = new AccountBase(100, 1);
    return acc;
}

void call(QObject *o, const char *slot, QGenericArgument a, QGenericArgument b, QGenericArgument c)
{
    // By name, every call would normalise the signature and walk the class's methods again;
    // QMetaMethod::invoke would compare the argument type names on every call. Both are done
    // once per slot, and later calls go straight to the class's dispatcher.
    static QHash<const char *, int> methods;
    auto it = methods.find(slot);
    if (it == methods.end())
        it = methods.insert(slot, methodIndex(o->metaObject(), slot, {a, b, c}));
    void *argv[] = {nullptr, a.data(), b.data(), c.data()};
    o->qt_metacall(QMetaObject::InvokeMetaMethod, *it, argv);
}

void drain()
{
    // Answers and engine reports arrive as posted events (a zero-delay timer is one too);
    // polling the event dispatcher as well would cost a system call per input.
    for (int i = 0; i < 2; ++i)
        QCoreApplication::sendPostedEvents();
}

void fail(const char *step, const QString &what)
{
    std::fprintf(stderr, "after %s: %s\n", step, qPrintable(what));
    std::abort();
}

} // namespace fuzz
