// The HTTP client against a local update service over HTTPS: what goes over the wire, what
// comes back, certificates, cut replies, downloads and cancellation.

#include "core/update/http_client.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "core/update/update_check.h"
#include "core/update/update_list.h"
#include "core/update/update_worker.h"
#include "test_support/temp_dir.h"
#include "test_support/update_server.h"

namespace tellune::update {
namespace {

using namespace std::chrono_literals;
using test::UpdateServer;

class HttpsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { server_ = new UpdateServer(true); }
    static void TearDownTestSuite() {
        delete server_;
        server_ = nullptr;
    }
    void SetUp() override {
        ASSERT_TRUE(server_->ok()) << "update service stand-in did not start";
        server_->set_routes("{}");
        first_request_ = server_->requests().size();
    }
    ClientSettings trusted() const {
        ClientSettings s;
        s.ca_file = server_->ca_file();
        return s;
    }
    std::vector<Json::Value> new_requests() const {
        auto all = server_->requests();
        return {all.begin() + static_cast<long>(std::min(first_request_, all.size())), all.end()};
    }
    // Waits up to 5 s for the server to have logged `count` new requests.
    bool wait_requests(size_t count) const {
        for (int i = 0; i < 500; ++i) {
            if (new_requests().size() >= count) return true;
            std::this_thread::sleep_for(10ms);
        }
        return false;
    }

    static UpdateServer* server_;
    size_t first_request_ = 0;
};
UpdateServer* HttpsTest::server_ = nullptr;

Json::Value route(const std::string& body, int status = 200) {
    Json::Value r;
    r["status"] = status;
    r["body"] = body;
    return r;
}

TEST_F(HttpsTest, RefusedArgumentsSendNothing) {
    HttpClient client(trusted());
    std::vector<char> buffer(64, 'x');
    EXPECT_EQ(client.web_request("POST", "", "a", 1, buffer, false), -1);
    EXPECT_EQ(client.last_error(), kErrorPathNotFound);
    EXPECT_EQ(client.web_request("put", server_->base_url() + "updates", "a", 1, buffer, false),
              -1);
    EXPECT_EQ(client.last_error(), kErrorInvalidParameter);
    EXPECT_EQ(client.web_request("DELETE", server_->base_url(), nullptr, 0, buffer, false), -1);
    EXPECT_EQ(client.last_error(), kErrorInvalidParameter);
    std::this_thread::sleep_for(100ms);
    EXPECT_TRUE(new_requests().empty());
    // Methods are compared without regard to case.
    server_->set_routes(R"({"/api/ping":{"body":"pong"}})");
    EXPECT_EQ(client.web_request("get", server_->base_url() + "ping", nullptr, 0, buffer, false),
              4);
    EXPECT_STREQ(buffer.data(), "pong");
    EXPECT_EQ(client.last_error(), 0);
}

TEST_F(HttpsTest, CheckSendsTheFormWithItsZeroAndTheHeaders) {
    Json::Value routes;
    routes["/api/updates"] = route(
        R"({"path":"https://h/m.bin","name":"Mouse","version_name":"1.4","version":"0104","device_id":3})");
    server_->set_routes_json(routes);
    HttpClient client(trusted());
    const UpdateResult r =
        check_update(client, server_->base_url(), "Tellune_30275_M7643_Mouse_259", 0x0103, true);
    EXPECT_EQ(r.status, kStatusNewer);
    EXPECT_EQ(r.current_text, "V0103");
    EXPECT_EQ(r.new_text, "V0104");
    EXPECT_EQ(r.device_id, 3);

    const auto requests = new_requests();
    ASSERT_EQ(requests.size(), 1u);
    const Json::Value& q = requests[0];
    EXPECT_EQ(q["method"].asString(), "POST");
    EXPECT_EQ(q["path"].asString(), "/api/updates");
    const std::string expected_body =
        std::string("app_key=Tellune_30275_M7643_Mouse_259&version=103") + '\0';
    EXPECT_EQ(UpdateServer::body_of(q), expected_body);
    const Json::Value& h = q["headers"];
    EXPECT_EQ(h["Content-Length"].asString(), std::to_string(expected_body.size()));
    EXPECT_EQ(h["Content-Type"].asString(), "application/x-www-form-urlencoded");
    EXPECT_EQ(h["Accept"].asString(), "application/prs.Pomex.v1+json");
    EXPECT_EQ(h["User-Agent"].asString(), "WinHTTP Client/1.0");
    EXPECT_FALSE(h.isMember("Expect"));
}

TEST_F(HttpsTest, DecimalVersionsAndAbsentDevices) {
    Json::Value routes;
    routes["/api/updates"]["by_key"]["NULL"] = route("{}");
    routes["/api/updates"]["by_key"]["Tellune_0_ALL_Tellune_105"] =
        route(R"({"name":"AP","version_name":"Tellune 1.0.5","version":"105"})");
    server_->set_routes_json(routes);
    HttpClient client(trusted());
    UpdateEntry app;
    app.vendor = "Tellune";
    app.model = "ALL";
    app.display_name = "Tellune";
    app.current_version = 105;
    const UpdateResult r =
        check_update(client, server_->base_url(), make_application_key(app), 105, false);
    EXPECT_EQ(r.status, kStatusNewest);
    EXPECT_EQ(r.new_text, "Tellune 1.0.5");

    UpdateEntry absent;
    absent.hex_version = 1;
    const UpdateResult n =
        check_update(client, server_->base_url(), make_application_key(absent), 0, true);
    EXPECT_TRUE(n.reply_read);
    const auto requests = new_requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(UpdateServer::body_of(requests[0]),
              std::string("app_key=Tellune_0_ALL_Tellune_105&version=105") + '\0');
    EXPECT_EQ(UpdateServer::body_of(requests[1]), std::string("app_key=NULL&version=0") + '\0');
}

TEST_F(HttpsTest, LongRepliesAreCutWithoutOverflow) {
    Json::Value routes;
    routes["/api/big"] =
        route("0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ", 200);
    routes["/api/big"]["repeat"] = 200 * 1024 / 62 + 1;  // over 200 KB
    routes["/api/updates"] = routes["/api/big"];
    server_->set_routes_json(routes);
    HttpClient client(trusted());
    // Guard bytes after the buffer the client may use.
    std::vector<char> storage(kResponseBufferSize + 64, '\x5A');
    const std::span<char> buffer(storage.data(), kResponseBufferSize);
    const int n = client.web_request("POST", server_->base_url() + "big", "x", 2, buffer, false);
    EXPECT_EQ(n, static_cast<int>(kResponseBufferSize - 1));
    EXPECT_EQ(buffer[kResponseBufferSize - 1], '\0');
    EXPECT_EQ(std::string(buffer.data(), 62),
              "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ");
    EXPECT_EQ(buffer[102398],
              "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"[102398 % 62]);
    for (size_t i = kResponseBufferSize; i < storage.size(); ++i) ASSERT_EQ(storage[i], '\x5A');
    // A cut reply is no JSON: no status, and no crash on the way.
    const UpdateResult r = check_update(client, server_->base_url(), "NULL", 0, true);
    EXPECT_EQ(r.status, kStatusNone);
    EXPECT_FALSE(r.reply_read);
}

TEST_F(HttpsTest, MalformedAndFailedReplies) {
    Json::Value routes;
    routes["/api/updates"] = route(R"({"name":"M","version":)", 200);
    server_->set_routes_json(routes);
    HttpClient client(trusted());
    UpdateResult r = check_update(client, server_->base_url(), "NULL", 0, true);
    EXPECT_EQ(r.status, kStatusNone);
    EXPECT_EQ(r.name, "");
    EXPECT_TRUE(checked_line(UpdateEntry{}, r).failed);
    // An error page is read like any reply: it is no JSON, so the line fails.
    routes["/api/updates"] = route("<html>Internal error</html>", 500);
    server_->set_routes_json(routes);
    r = check_update(client, server_->base_url(), "NULL", 0, true);
    EXPECT_EQ(client.last_http_status(), 500);
    EXPECT_EQ(r.status, kStatusNone);
    EXPECT_TRUE(checked_line(UpdateEntry{}, r).failed);
}

TEST_F(HttpsTest, SelfSignedCertificateIsRefusedUnlessTrusted) {
    Json::Value routes;
    routes["/api/updates"] = route(R"({"name":"M","version":"2"})");
    server_->set_routes_json(routes);
    HttpClient untrusted;  // system store only
    const UpdateResult refused = check_update(untrusted, server_->base_url(), "NULL", 1, false);
    EXPECT_EQ(refused.name, kNoLinkServer);
    EXPECT_EQ(refused.status, kStatusNone);
    EXPECT_GT(untrusted.last_error(), kErrorTransferBase);
    EXPECT_TRUE(checked_line(UpdateEntry{}, refused).failed);
    EXPECT_TRUE(new_requests().empty());  // the request never left the handshake

    HttpClient client(trusted());
    EXPECT_EQ(check_update(client, server_->base_url(), "NULL", 1, false).status, kStatusNewer);
    EXPECT_EQ(client.last_error(), 0);
}

TEST_F(HttpsTest, UnreachableServiceGivesNoLinkServer) {
    // A port that was just free: nobody listens there.
    int port = 0;
    {
        UpdateServer gone(false);
        ASSERT_TRUE(gone.ok());
        port = gone.port();
    }
    HttpClient client(trusted());
    std::vector<char> buffer(kResponseBufferSize, 'x');
    const std::string url = "https://127.0.0.1:" + std::to_string(port) + "/api/updates";
    EXPECT_EQ(client.web_request("POST", url, "a", 2, buffer, false), 0);
    EXPECT_STREQ(buffer.data(), "NO_LINK_SERVER");
    EXPECT_EQ(client.last_error(), kErrorTransferBase + 7);  // could not connect
}

TEST_F(HttpsTest, SilentServerIsCancelledAtOnce) {
    server_->set_routes(R"({"/api/updates":{"hang":true}})");
    HttpClient client(trusted());
    std::atomic<int> result{-2};
    std::thread worker([&] {
        std::vector<char> buffer(kResponseBufferSize);
        result = client.web_request("POST", server_->base_url() + "updates", "a", 2, buffer, false);
    });
    ASSERT_TRUE(wait_requests(1));
    std::this_thread::sleep_for(50ms);
    const auto start = std::chrono::steady_clock::now();
    client.cancel();
    worker.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    EXPECT_EQ(result.load(), 0);
    EXPECT_EQ(client.last_error(), kErrorCancelled);
    // Cancelled stays cancelled until reset.
    std::vector<char> buffer(16);
    EXPECT_EQ(client.web_request("GET", server_->base_url() + "updates", nullptr, 0, buffer, false),
              0);
    EXPECT_EQ(client.last_error(), kErrorCancelled);
}

TEST_F(HttpsTest, WorkerStopsWhileTheCheckHangs) {
    server_->set_routes(R"({"/api/updates":{"hang":true}})");
    UpdateWorker worker(trusted());
    std::vector<UpdateEntry> entries(3);
    std::atomic<int> lines{0};
    ASSERT_TRUE(worker.start([&](HttpClient& client, const std::atomic<bool>& stop) {
        run_update_check(client, server_->base_url(), entries, stop,
                         [&](size_t, const UpdateLine&) { ++lines; });
    }));
    EXPECT_FALSE(worker.start([](HttpClient&, const std::atomic<bool>&) {}));  // one at a time
    ASSERT_TRUE(wait_requests(1));
    const auto start = std::chrono::steady_clock::now();
    worker.stop();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    EXPECT_FALSE(worker.running());
    EXPECT_EQ(lines.load(), 0);  // the cancelled request gave no line
    EXPECT_EQ(new_requests().size(), 1u);

    // A finished worker takes the next job, with the cancel cleared.
    Json::Value routes;
    routes["/api/updates"] = route(R"({"name":"M","version":"1"})");
    server_->set_routes_json(routes);
    std::atomic<int> done{0};
    ASSERT_TRUE(worker.start([&](HttpClient& client, const std::atomic<bool>& stop) {
        done = static_cast<int>(
            run_update_check(client, server_->base_url(), entries, stop, nullptr).size());
    }));
    for (int i = 0; i < 500 && worker.running(); ++i) std::this_thread::sleep_for(10ms);
    worker.stop();
    EXPECT_EQ(done.load(), 3);
}

TEST_F(HttpsTest, DownloadWritesTheWholeFileOrNothing) {
    TempDir dir;
    server_->set_routes(R"({"/f/fw.bin":{"size":300000,"type":"application/octet-stream"},)"
                        R"("/f/missing.bin":{"status":404,"body":"no"},)"
                        R"("/f/hang.bin":{"hang":true}})");
    HttpClient client(trusted());
    std::vector<int> percents;
    const std::string target = dir.file("fw.bin");
    EXPECT_EQ(
        client.download(
            server_->url("/f/fw.bin"), target, [&](int p) { percents.push_back(p); }, 1 << 20),
        HttpClient::DownloadResult::ok);
    ASSERT_EQ(std::filesystem::file_size(target), 300000u);
    std::ifstream in(target, std::ios::binary);
    const std::string data((std::istreambuf_iterator<char>(in)), {});
    for (size_t i = 0; i < data.size(); ++i)
        ASSERT_EQ(static_cast<unsigned char>(data[i]), i % 251);
    ASSERT_FALSE(percents.empty());
    EXPECT_EQ(percents.back(), 100);
    EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()));
    EXPECT_FALSE(std::filesystem::exists(target + ".part"));

    // An error status, a file over the limit: nothing is left behind.
    const std::string missing = dir.file("missing.bin");
    EXPECT_EQ(client.download(server_->url("/f/missing.bin"), missing, nullptr, 1 << 20),
              HttpClient::DownloadResult::failed);
    const std::string big = dir.file("big.bin");
    EXPECT_EQ(client.download(server_->url("/f/fw.bin"), big, nullptr, 100000),
              HttpClient::DownloadResult::failed);
    EXPECT_FALSE(std::filesystem::exists(missing));
    EXPECT_FALSE(std::filesystem::exists(big));
    EXPECT_FALSE(std::filesystem::exists(big + ".part"));

    // Cancelled while the server is silent.
    std::atomic<int> outcome{-1};
    std::thread t([&] {
        outcome = static_cast<int>(
            client.download(server_->url("/f/hang.bin"), dir.file("hang.bin"), nullptr, 1 << 20));
    });
    ASSERT_TRUE(wait_requests(4));
    const auto start = std::chrono::steady_clock::now();
    client.cancel();
    t.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    EXPECT_EQ(outcome.load(), static_cast<int>(HttpClient::DownloadResult::cancelled));
    EXPECT_FALSE(std::filesystem::exists(dir.file("hang.bin.part")));
}

}  // namespace
}  // namespace tellune::update
