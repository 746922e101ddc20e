#include "cli/bus_remote.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QStringList>

#include "core/profile/json_file.h"

namespace tellune::cli {

std::optional<Json::Value> BusRemote::devices() {
    if (!bus_.isConnected()) return std::nullopt;
    QDBusConnectionInterface* names = bus_.interface();
    if (!names || !names->isServiceRegistered(QString::fromLatin1(kService)).value())
        return std::nullopt;
    QDBusMessage m = QDBusMessage::createMethodCall(kService, kPath, kInterface, "ListDevices");
    const QDBusMessage reply = bus_.call(m, QDBus::Block, kTimeoutMs);
    // A program that holds the name but does not answer still holds the devices: nothing of
    // ours may open them beside it, so it counts as running, with no device.
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() != 1)
        return Json::Value(Json::arrayValue);
    const Json::Value list = parse_json(reply.arguments()[0].toString().toStdString());
    return list.isArray() ? list : Json::Value(Json::arrayValue);
}

Remote::Reply BusRemote::call(const char* method, const QList<QVariant>& arguments) {
    QDBusMessage m = QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
    m.setArguments(arguments);
    const QDBusMessage reply = bus_.call(m, QDBus::Block, kTimeoutMs);
    Reply out;
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() != 2) {
        out.text = "the running program did not answer: " + reply.errorMessage().toStdString();
        return out;
    }
    out.code = reply.arguments()[0].toInt();
    out.text = reply.arguments()[1].toString().toStdString();
    return out;
}

Remote::Reply BusRemote::apply(const std::string& path, const std::string& request) {
    return call("Apply", {QString::fromStdString(path), QString::fromStdString(request)});
}

Remote::Reply BusRemote::call_with_list(const char* method, const std::string& path,
                                        const std::vector<std::string>& args) {
    QStringList list;
    for (const std::string& a : args) list << QString::fromStdString(a);
    return call(method, {QString::fromStdString(path), list});
}

Remote::Reply BusRemote::profile(const std::string& path, const std::vector<std::string>& args) {
    return call_with_list("Profile", path, args);
}

Remote::Reply BusRemote::macro(const std::string& path, const std::vector<std::string>& args) {
    return call_with_list("Macro", path, args);
}

Remote::Reply BusRemote::keys(const std::string& path) {
    return call("Keys", {QString::fromStdString(path)});
}

}  // namespace tellune::cli
