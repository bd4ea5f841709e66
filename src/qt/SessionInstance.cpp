#include "qt/SessionInstance.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDBusVirtualObject>
#include <QMetaObject>

namespace quenby {
namespace {

QDBusMessage MethodCall(const char* method) {
    QDBusMessage call = QDBusMessage::createMethodCall(
        QString::fromLatin1(kInstanceBusName), QString::fromLatin1(kInstanceObjectPath),
        QString::fromLatin1(kInstanceInterface), QString::fromLatin1(method));
    // Nothing may start a Quenby on the bus's behalf: no answer means none is running.
    call.setAutoStartService(false);
    return call;
}

// A connection of its own for the one call, closed again before the application object goes:
// the shared connection would be torn down only after it, with warnings on standard error.
class CCallConnection {
public:
    CCallConnection() : m_bus(QDBusConnection::connectToBus(QDBusConnection::SessionBus, Name())) {}
    ~CCallConnection() { QDBusConnection::disconnectFromBus(Name()); }
    QDBusConnection& Bus() { return m_bus; }

private:
    static QString Name() { return QStringLiteral("quenby-call"); }
    QDBusConnection m_bus;
};

InstanceCallResult Call(const QDBusMessage& call) {
    CCallConnection connection;
    QDBusConnection& bus = connection.Bus();
    if (!bus.isConnected()) {
        return {EInstanceCall::NoBus, bus.lastError().message().toStdString()};
    }
    const QDBusMessage reply = bus.call(call, QDBus::Block, kInstanceCallTimeoutMs);
    if (reply.type() == QDBusMessage::ReplyMessage) {
        return {EInstanceCall::Done, {}, reply.arguments().value(0).toBool()};
    }
    const QString error = reply.errorName();
    const std::string detail = reply.errorMessage().toStdString();
    if (error == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown") ||
        error == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner")) {
        return {EInstanceCall::NotRunning, detail};
    }
    if (error == QLatin1String("org.freedesktop.DBus.Error.NoReply") ||
        error == QLatin1String("org.freedesktop.DBus.Error.Timeout")) {
        return {EInstanceCall::NoAnswer, detail};
    }
    return {EInstanceCall::Failed, error.toStdString() + ": " + detail};
}

}  // namespace

// The methods of the running Quenby. A virtual object needs no generated meta-object code.
// Qt delivers each call to this object's thread, the UI thread; the request itself is still
// queued behind the answer, so that a question it asks does not keep the caller waiting.
class CInstanceObject final : public QDBusVirtualObject {
public:
    explicit CInstanceObject(InstanceRequests requests) : m_requests(std::move(requests)) {}

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        if (message.type() != QDBusMessage::MethodCallMessage ||
            (!message.interface().isEmpty() &&
             message.interface() != QLatin1String(kInstanceInterface))) {
            return false;
        }
        std::function<void()> request;
        const QString member = message.member();
        const QString signature = message.signature();
        if (member == QLatin1String("Activate") && signature.isEmpty()) {
            request = m_requests.m_activate;
        } else if (member == QLatin1String("Toggle") && signature.isEmpty()) {
            request = m_requests.m_toggle;
        } else if (member == QLatin1String("StopNow") && signature.isEmpty()) {
            // At once, on this thread: the answer is whether a run was active.
            const bool stopped = m_requests.m_stopNow && m_requests.m_stopNow();
            connection.send(message.createReply(QVariant(stopped)));
            return true;
        } else if (member == QLatin1String("Open") && signature == QLatin1String("ay")) {
            const QByteArray bytes = message.arguments().value(0).toByteArray();
            const std::filesystem::path path(std::string(bytes.constData(), bytes.size()));
            request = [open = m_requests.m_open, path] { open(path); };
        } else {
            return false;  // the bus library answers with an unknown-method error
        }
        connection.send(message.createReply());
        QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(request),
                                  Qt::QueuedConnection);
        return true;
    }

    QString introspect(const QString&) const override {
        return QString::fromLatin1(
                   "<interface name=\"%1\">"
                   "<method name=\"Activate\"/>"
                   "<method name=\"Open\"><arg name=\"path\" type=\"ay\" direction=\"in\"/>"
                   "</method>"
                   "<method name=\"Toggle\"/>"
                   "<method name=\"StopNow\"><arg type=\"b\" direction=\"out\"/></method>"
                   "</interface>")
            .arg(QString::fromLatin1(kInstanceInterface));
    }

private:
    InstanceRequests m_requests;
};

CSessionInstance::CSessionInstance(InstanceRequests requests)
    : m_object(std::make_unique<CInstanceObject>(std::move(requests))) {}

CSessionInstance::~CSessionInstance() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (m_bOwned) {
        bus.unregisterService(QString::fromLatin1(kInstanceBusName));
    }
    if (m_bServing) {
        bus.unregisterObject(QString::fromLatin1(kInstanceObjectPath));
    }
}

CSessionInstance::EClaim CSessionInstance::Claim() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || bus.interface() == nullptr) {
        return EClaim::NoBus;
    }
    m_bServing = bus.registerVirtualObject(QString::fromLatin1(kInstanceObjectPath), m_object.get(),
                                           QDBusConnection::SingleNode);
    if (!m_bServing) {
        return EClaim::NoBus;  // owning the name without serving it would only lock others out
    }
    // Not queued and not replaceable: exactly one start of a session wins the name.
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply =
        bus.interface()->registerService(QString::fromLatin1(kInstanceBusName),
                                         QDBusConnectionInterface::DontQueueService,
                                         QDBusConnectionInterface::DontAllowReplacement);
    if (!reply.isValid()) {
        return EClaim::NoBus;
    }
    m_bOwned = reply.value() == QDBusConnectionInterface::ServiceRegistered;
    return m_bOwned ? EClaim::Owned : EClaim::Taken;
}

InstanceCallResult CallRunningInstance(const char* method) {
    return Call(MethodCall(method));
}

InstanceCallResult StopRunningInstance() {
    return Call(MethodCall("StopNow"));
}

InstanceCallResult OpenInRunningInstance(const std::filesystem::path& file) {
    QDBusMessage call = MethodCall("Open");
    // The running Quenby has a working folder of its own: a relative name would miss the file.
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(file, error);
    const std::string path = (error ? file : absolute).string();
    call << QByteArray(path.data(), static_cast<qsizetype>(path.size()));
    return Call(call);
}

}  // namespace quenby
