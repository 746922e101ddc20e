#pragma once
// The running program over the session bus: requests go to its "org.tellune.Control"
// object while some process owns "org.tellune.Tellune"; otherwise tellunectl opens the
// devices itself.

#include <QDBusConnection>

#include "cli/commands.h"

namespace tellune::cli {

class BusRemote : public Remote {
public:
    static constexpr char kService[] = "org.tellune.Tellune";
    static constexpr char kPath[] = "/org/tellune/Control";
    static constexpr char kInterface[] = "org.tellune.Control";
    // Long enough for a wireless mouse that retries every exchange.
    static constexpr int kTimeoutMs = 60000;

    explicit BusRemote(QDBusConnection bus) : bus_(std::move(bus)) {}

    std::optional<Json::Value> devices() override;
    Reply apply(const std::string& path, const std::string& request) override;
    Reply profile(const std::string& path, const std::vector<std::string>& args) override;
    Reply macro(const std::string& path, const std::vector<std::string>& args) override;
    Reply keys(const std::string& path) override;

private:
    Reply call(const char* method, const QList<QVariant>& arguments);
    Reply call_with_list(const char* method, const std::string& path,
                         const std::vector<std::string>& args);

    QDBusConnection bus_;
};

}  // namespace tellune::cli
