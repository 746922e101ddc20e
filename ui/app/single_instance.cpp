#include "ui/app/single_instance.h"

#include <unistd.h>

#include <QDir>
#include <QLocalSocket>
#include <QThread>
#include <QTimer>

#include "core/platform/platform.h"

namespace tellune::ui {
namespace {

constexpr QByteArrayView kShowRequest = "show\n";
constexpr int kMaxRequest = 64;

QString runtime_folder() {
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir(QString::fromLocal8Bit(runtime)).exists())
        return QString::fromLocal8Bit(runtime);
    return QDir::tempPath();
}

}  // namespace

SingleInstance::SingleInstance(QString lock_path, QString server_name, QObject* parent)
    : QObject(parent), server_name_(std::move(server_name)), lock_(lock_path) {
    lock_.setStaleLockTime(0);  // only a dead owner makes the lock stale
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&server_, &QLocalServer::newConnection, this, &SingleInstance::on_new_connection);
}

SingleInstance::~SingleInstance() {
    server_.close();
    if (lock_.isLocked()) lock_.unlock();
}

QString SingleInstance::default_lock_path() {
    return runtime_folder() + QString("/tellune-%1.lock").arg(::getuid());
}

QString SingleInstance::default_server_name() {
    return runtime_folder() + QString("/tellune-%1.socket").arg(::getuid());
}

SingleInstance::Result SingleInstance::claim() {
    if (lock_.tryLock(0)) {
        // A socket left by a crashed owner would make listen() fail.
        QLocalServer::removeServer(server_name_);
        if (!server_.listen(server_name_))
            debug_printf("single instance: cannot listen: %s",
                         server_.errorString().toUtf8().constData());
        return Result::First;
    }
    // The owner may still be starting up and not listen yet: try for about a second.
    for (int attempt = 0; attempt < 20; ++attempt) {
        QLocalSocket socket;
        socket.connectToServer(server_name_);
        if (socket.waitForConnected(200)) {
            socket.write(kShowRequest.data(), kShowRequest.size());
            const bool sent = socket.waitForBytesWritten(1000);
            socket.disconnectFromServer();
            if (sent) return Result::HandedOver;
        }
        QThread::msleep(50);
    }
    return Result::Unreachable;
}

void SingleInstance::on_new_connection() {
    while (QLocalSocket* socket = server_.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            // Requests are a few bytes; a client that sends more is not one of ours.
            const QByteArray request = socket->read(kMaxRequest);
            if (request.startsWith(kShowRequest.toByteArray())) emit show_requested();
            socket->disconnectFromServer();
        });
        // A client that connects and says nothing does not keep its socket forever.
        QTimer::singleShot(2000, socket, [socket] { socket->abort(); });
    }
}

}  // namespace tellune::ui
