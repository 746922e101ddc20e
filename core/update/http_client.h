#pragma once
// The small HTTP client of the update check and the update download, on libcurl.
//
// Server certificates are always checked (system CA store, or `ca_file`). Proxies come from
// the usual http_proxy / https_proxy / no_proxy environment unless a proxy is configured
// and asked for. A request can be cancelled from any thread: cancel() wakes the transfer's
// wait at once, so a worker blocked on a silent server ends without being killed.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <span>
#include <string>
#include <string_view>

namespace tellune::update {

// Last-error values besides the transfer errors.
inline constexpr int kErrorPathNotFound = 3;       // empty URL
inline constexpr int kErrorInvalidParameter = 87;  // method other than GET and POST
inline constexpr int kErrorTransferBase = 12000;   // + libcurl's CURLcode
inline constexpr int kErrorCancelled = 1223;       // cancel() ended the request

// Text the response buffer holds when no request could be sent.
inline constexpr std::string_view kNoLinkServer = "NO_LINK_SERVER";

struct ClientSettings {
    std::string user_agent = "WinHTTP Client/1.0";
    // Used only by requests that ask for the configured proxy.
    std::string proxy;
    std::string proxy_user;
    std::string proxy_password;
    long connect_timeout_ms = 60000;
    // No byte moved in either direction for this long ends a transfer.
    long send_timeout_ms = 30000;
    long receive_timeout_ms = 30000;
    // A PEM file of trusted certificates used instead of the system store (private servers
    // and tests). Empty: the system store.
    std::string ca_file;
};

class HttpClient {
public:
    explicit HttpClient(ClientSettings settings = {});
    ~HttpClient();
    HttpClient(const HttpClient&) = delete;
    HttpClient& operator=(const HttpClient&) = delete;

    const ClientSettings& settings() const { return settings_; }

    // Sends `body` (`body_length` bytes, sent as they are) with `method` ("GET" or "POST",
    // any case) and the form headers, and puts the reply into `response`, cut to
    // response.size() - 1 bytes and always zero-terminated. Returns the number of reply bytes
    // kept, or -1 for a refused argument (last error 3 or 87, nothing sent). When the request
    // fails (no connection, certificate refused, time-out, cancelled) `response` holds
    // "NO_LINK_SERVER" and the result is 0.
    int web_request(std::string_view method, const std::string& url, const char* body,
                    size_t body_length, std::span<char> response, bool use_proxy);

    enum class DownloadResult { ok, failed, cancelled };
    // Fetches `url` into `path` (written as `path` + ".part", renamed when complete; nothing
    // is left behind on failure). `progress` gets the percentage whenever it changes; a reply
    // that is not a success status, or larger than `max_bytes`, fails.
    DownloadResult download(const std::string& url, const std::string& path,
                            const std::function<void(int percent)>& progress, uint64_t max_bytes);

    // The last failure: 3, 87, kErrorCancelled, or kErrorTransferBase + CURLcode. 0 when the
    // last request succeeded. Informative only.
    int last_error() const { return last_error_.load(); }
    // HTTP status of the last reply (0 when none came). Informative only.
    int last_http_status() const { return last_status_.load(); }

    // Ends the running request and refuses later ones until reset_cancel(). Any thread.
    void cancel();
    void reset_cancel();
    bool cancelled() const { return cancelled_.load(); }

private:
    // Runs one prepared transfer to its end; returns the CURLcode.
    int perform(void* easy);
    void prepare_common(void* easy, const std::string& url, bool use_proxy) const;

    ClientSettings settings_;
    std::atomic<int> last_error_{0};
    std::atomic<int> last_status_{0};
    std::atomic<bool> cancelled_{false};
    std::mutex active_mutex_;  // guards active_ against cancel() while a transfer ends
    void* active_ = nullptr;   // the multi handle of the running transfer
};

}  // namespace tellune::update
