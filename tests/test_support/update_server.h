#pragma once
// The update service stand-in (update_server.py) as a test fixture: started on 127.0.0.1
// over HTTPS with a certificate made for the test, or over plain HTTP. It ends when this
// object closes its standard input, or when the test process dies.

#include <json/json.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "test_support/temp_dir.h"

extern char** environ;

namespace tellune::test {

// Makes a self-signed certificate for 127.0.0.1 in `dir` (cert.pem, key.pem).
inline bool make_test_certificate(const std::filesystem::path& dir) {
    const std::string cmd = std::string(TELLUNE_TEST_OPENSSL) +
                            " req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes"
                            " -keyout '" +
                            (dir / "key.pem").string() + "' -out '" + (dir / "cert.pem").string() +
                            "' -days 2 -subj /CN=127.0.0.1 -addext subjectAltName=IP:127.0.0.1"
                            " >/dev/null 2>&1";
    return std::system(cmd.c_str()) == 0;
}

class UpdateServer {
public:
    // `tls`: HTTPS with a fresh self-signed certificate (ca_file() names it).
    explicit UpdateServer(bool tls) {
        set_routes("{}");
        if (tls && !make_test_certificate(dir_.path())) return;
        int in[2], out[2];
        if (::pipe(in) != 0) return;
        if (::pipe(out) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in[0], 0);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_addclose(&actions, in[1]);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        std::vector<std::string> args = {TELLUNE_TEST_PYTHON,
                                         TELLUNE_TEST_SUPPORT_DIR "/update_server.py",
                                         "--routes",
                                         dir_.file("routes.json"),
                                         "--log",
                                         dir_.file("log.jsonl")};
        if (tls) {
            args.insert(args.end(), {"--cert", ca_file(), "--key", dir_.file("key.pem")});
        }
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        const int rc = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(in[0]);
        ::close(out[1]);
        stdin_ = in[1];
        if (rc != 0) {
            pid_ = 0;
            ::close(out[0]);
            return;
        }
        std::string line;
        char c;
        while (::read(out[0], &c, 1) == 1 && c != '\n') line.push_back(c);
        ::close(out[0]);
        port_ = std::atoi(line.c_str());
        tls_ = tls;
    }
    ~UpdateServer() {
        if (stdin_ >= 0) ::close(stdin_);
        if (pid_ > 0) {
            int status = 0;
            ::waitpid(pid_, &status, 0);
        }
    }
    UpdateServer(const UpdateServer&) = delete;
    UpdateServer& operator=(const UpdateServer&) = delete;

    bool ok() const { return port_ > 0; }
    int port() const { return port_; }
    std::string base_url() const {
        return std::string(tls_ ? "https" : "http") + "://127.0.0.1:" + std::to_string(port_) +
               "/api/";
    }
    std::string url(const std::string& path) const {
        return std::string(tls_ ? "https" : "http") + "://127.0.0.1:" + std::to_string(port_) +
               path;
    }
    std::string ca_file() const { return dir_.file("cert.pem"); }

    // Replaces the routes (see update_server.py); read by the server at every request.
    void set_routes(const std::string& json) const {
        std::ofstream(dir_.file("routes.json.tmp")) << json;
        std::filesystem::rename(dir_.file("routes.json.tmp"), dir_.file("routes.json"));
    }
    void set_routes_json(const Json::Value& routes) const {
        Json::StreamWriterBuilder w;
        set_routes(Json::writeString(w, routes));
    }

    // The requests received so far, oldest first.
    std::vector<Json::Value> requests() const {
        std::vector<Json::Value> out;
        std::ifstream in(dir_.file("log.jsonl"));
        std::string line;
        Json::CharReaderBuilder b;
        while (std::getline(in, line)) {
            Json::Value v;
            std::istringstream s(line);
            if (Json::parseFromStream(b, s, &v, nullptr)) out.push_back(v);
        }
        return out;
    }

    // Request body bytes from the log's hex.
    static std::string body_of(const Json::Value& request) {
        const std::string hex = request["body"].asString();
        std::string bytes;
        for (size_t i = 0; i + 1 < hex.size(); i += 2)
            bytes.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
        return bytes;
    }

private:
    TempDir dir_;
    pid_t pid_ = 0;
    int stdin_ = -1;
    int port_ = 0;
    bool tls_ = false;
};

}  // namespace tellune::test
