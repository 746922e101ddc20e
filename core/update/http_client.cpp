#include "core/update/http_client.h"

#include <curl/curl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>

#include "core/platform/platform.h"

namespace tellune::update {
namespace {

void global_init() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

bool equal_no_case(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::toupper(static_cast<unsigned char>(x)) ==
                      std::toupper(static_cast<unsigned char>(y));
           });
}

// Collects the reply into a fixed buffer; a longer reply is cut and its transfer ended.
struct BufferSink {
    std::span<char> buffer;
    size_t used = 0;
    bool full = false;

    size_t capacity() const { return buffer.empty() ? 0 : buffer.size() - 1; }
    static size_t write(char* data, size_t size, size_t count, void* self) {
        auto* sink = static_cast<BufferSink*>(self);
        const size_t bytes = size * count;
        const size_t room = sink->capacity() - sink->used;
        const size_t take = std::min(bytes, room);
        if (take > 0) std::memcpy(sink->buffer.data() + sink->used, data, take);
        sink->used += take;
        if (take < bytes) {
            sink->full = true;
            return 0;  // ends the transfer: the rest would be thrown away anyway
        }
        return bytes;
    }
};

struct FileSink {
    std::FILE* file = nullptr;
    uint64_t written = 0;
    uint64_t limit = 0;
    bool too_large = false;
    static size_t write(char* data, size_t size, size_t count, void* self) {
        auto* sink = static_cast<FileSink*>(self);
        const size_t bytes = size * count;
        if (sink->written + bytes > sink->limit) {
            sink->too_large = true;
            return 0;
        }
        const size_t done = std::fwrite(data, 1, bytes, sink->file);
        sink->written += done;
        return done;
    }
};

struct ProgressState {
    const std::atomic<bool>* cancelled = nullptr;
    const std::function<void(int)>* report = nullptr;
    uint64_t limit = 0;
    int last_percent = -1;
    static int callback(void* self, curl_off_t dltotal, curl_off_t dlnow, curl_off_t, curl_off_t) {
        auto* p = static_cast<ProgressState*>(self);
        if (p->cancelled->load()) return 1;
        if (p->limit && dltotal > 0 && static_cast<uint64_t>(dltotal) > p->limit) return 1;
        if (p->report && *p->report && dltotal > 0) {
            const int percent =
                static_cast<int>(std::clamp<curl_off_t>(dlnow * 100 / dltotal, 0, 100));
            if (percent != p->last_percent) {
                p->last_percent = percent;
                (*p->report)(percent);
            }
        }
        return 0;
    }
};

struct EasyDeleter {
    void operator()(CURL* c) const { curl_easy_cleanup(c); }
};
struct ListDeleter {
    void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};
using Easy = std::unique_ptr<CURL, EasyDeleter>;
using HeaderList = std::unique_ptr<curl_slist, ListDeleter>;

void put_text(std::span<char> buffer, std::string_view text) {
    if (buffer.empty()) return;
    const size_t n = std::min(text.size(), buffer.size() - 1);
    std::memcpy(buffer.data(), text.data(), n);
    buffer[n] = '\0';
}

bool is_https(const std::string& url) {
    return url.size() >= 8 && equal_no_case(std::string_view(url).substr(0, 8), "https://");
}

}  // namespace

HttpClient::HttpClient(ClientSettings settings) : settings_(std::move(settings)) {
    global_init();
}

HttpClient::~HttpClient() = default;

void HttpClient::cancel() {
    cancelled_.store(true);
    std::lock_guard lock(active_mutex_);
    if (active_) curl_multi_wakeup(static_cast<CURLM*>(active_));
}

void HttpClient::reset_cancel() {
    cancelled_.store(false);
}

void HttpClient::prepare_common(void* handle, const std::string& url, bool use_proxy) const {
    CURL* easy = static_cast<CURL*>(handle);
    curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy, CURLOPT_USERAGENT, settings_.user_agent.c_str());
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, settings_.connect_timeout_ms);
    // libcurl has no separate send and receive time-outs: a transfer that moves nothing
    // for that long is ended instead.
    const long idle_s =
        std::max(1L, std::max(settings_.send_timeout_ms, settings_.receive_timeout_ms) / 1000);
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, idle_s);
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(easy, CURLOPT_MAXREDIRS, 5L);
    // A request that started on HTTPS never continues in the clear.
    curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, is_https(url) ? "https" : "http,https");
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!settings_.ca_file.empty())
        curl_easy_setopt(easy, CURLOPT_CAINFO, settings_.ca_file.c_str());
    if (use_proxy && !settings_.proxy.empty()) {
        curl_easy_setopt(easy, CURLOPT_PROXY, settings_.proxy.c_str());
        if (!settings_.proxy_user.empty())
            curl_easy_setopt(easy, CURLOPT_PROXYUSERNAME, settings_.proxy_user.c_str());
        if (!settings_.proxy_password.empty())
            curl_easy_setopt(easy, CURLOPT_PROXYPASSWORD, settings_.proxy_password.c_str());
    }
}

int HttpClient::perform(void* handle) {
    CURL* easy = static_cast<CURL*>(handle);
    CURLM* multi = curl_multi_init();
    if (!multi) return CURLE_OUT_OF_MEMORY;
    curl_multi_add_handle(multi, easy);
    {
        std::lock_guard lock(active_mutex_);
        active_ = multi;
    }
    CURLcode result = CURLE_OK;
    bool done = false;
    while (!done) {
        // Checked after active_ is set, so a cancel() from now on also wakes the poll below.
        if (cancelled_.load()) {
            result = CURLE_ABORTED_BY_CALLBACK;
            break;
        }
        int running = 0;
        const CURLMcode mc = curl_multi_perform(multi, &running);
        if (mc != CURLM_OK) {
            result = CURLE_RECV_ERROR;
            break;
        }
        int queued = 0;
        while (CURLMsg* msg = curl_multi_info_read(multi, &queued)) {
            if (msg->msg == CURLMSG_DONE) {
                result = msg->data.result;
                done = true;
            }
        }
        if (done || running == 0) break;
        curl_multi_poll(multi, nullptr, 0, 1000, nullptr);
    }
    {
        std::lock_guard lock(active_mutex_);
        active_ = nullptr;
    }
    curl_multi_remove_handle(multi, easy);
    curl_multi_cleanup(multi);
    long status = 0;
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
    last_status_.store(static_cast<int>(status));
    return result;
}

int HttpClient::web_request(std::string_view method, const std::string& url, const char* body,
                            size_t body_length, std::span<char> response, bool use_proxy) {
    if (url.empty()) {
        last_error_.store(kErrorPathNotFound);
        return -1;
    }
    const bool post = equal_no_case(method, "POST");
    if (!post && !equal_no_case(method, "GET")) {
        last_error_.store(kErrorInvalidParameter);
        return -1;
    }
    if (!body) body_length = 0;
    last_status_.store(0);
    Easy easy(curl_easy_init());
    if (!easy) {
        last_error_.store(kErrorTransferBase + CURLE_FAILED_INIT);
        put_text(response, kNoLinkServer);
        return 0;
    }
    prepare_common(easy.get(), url, use_proxy);

    curl_slist* raw = nullptr;
    raw = curl_slist_append(raw, "Content-Type: application/x-www-form-urlencoded");
    raw = curl_slist_append(raw, "Accept:application/prs.Pomex.v1+json");
    raw = curl_slist_append(raw, "Expect:");  // no 100-continue round trip
    HeaderList headers(raw);
    curl_easy_setopt(easy.get(), CURLOPT_HTTPHEADER, headers.get());
    if (post || body_length > 0) {
        curl_easy_setopt(easy.get(), CURLOPT_POSTFIELDSIZE_LARGE,
                         static_cast<curl_off_t>(body_length));
        curl_easy_setopt(easy.get(), CURLOPT_POSTFIELDS, body_length ? body : "");
        curl_easy_setopt(easy.get(), CURLOPT_CUSTOMREQUEST, post ? "POST" : "GET");
    } else {
        curl_easy_setopt(easy.get(), CURLOPT_HTTPGET, 1L);
    }

    if (!response.empty()) std::memset(response.data(), 0, response.size());
    BufferSink sink{response};
    curl_easy_setopt(easy.get(), CURLOPT_WRITEFUNCTION, &BufferSink::write);
    curl_easy_setopt(easy.get(), CURLOPT_WRITEDATA, &sink);
    ProgressState progress{&cancelled_, nullptr, 0};
    curl_easy_setopt(easy.get(), CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(easy.get(), CURLOPT_XFERINFOFUNCTION, &ProgressState::callback);
    curl_easy_setopt(easy.get(), CURLOPT_XFERINFODATA, &progress);

    const int code = perform(easy.get());
    if (code == CURLE_OK || (code == CURLE_WRITE_ERROR && sink.full)) {
        last_error_.store(0);
        if (!response.empty()) response[sink.used] = '\0';
        return static_cast<int>(sink.used);
    }
    last_error_.store(cancelled_.load() ? kErrorCancelled : kErrorTransferBase + code);
    debug_printf("web_request %s: %s", url.c_str(),
                 curl_easy_strerror(static_cast<CURLcode>(code)));
    if (!response.empty()) std::memset(response.data(), 0, response.size());
    put_text(response, kNoLinkServer);
    return 0;
}

HttpClient::DownloadResult HttpClient::download(const std::string& url, const std::string& path,
                                                const std::function<void(int)>& report,
                                                uint64_t max_bytes) {
    namespace fs = std::filesystem;
    last_status_.store(0);
    if (url.empty()) {
        last_error_.store(kErrorPathNotFound);
        return DownloadResult::failed;
    }
    const std::string part = path + ".part";
    std::FILE* file = std::fopen(part.c_str(), "wb");
    if (!file) {
        last_error_.store(kErrorPathNotFound);
        return DownloadResult::failed;
    }
    Easy easy(curl_easy_init());
    FileSink sink{file, 0, max_bytes};
    ProgressState progress{&cancelled_, &report, max_bytes};
    int code = CURLE_FAILED_INIT;
    if (easy) {
        prepare_common(easy.get(), url, false);
        curl_easy_setopt(easy.get(), CURLOPT_HTTPGET, 1L);
        curl_easy_setopt(easy.get(), CURLOPT_FAILONERROR, 1L);  // an error page is no update
        curl_easy_setopt(easy.get(), CURLOPT_WRITEFUNCTION, &FileSink::write);
        curl_easy_setopt(easy.get(), CURLOPT_WRITEDATA, &sink);
        curl_easy_setopt(easy.get(), CURLOPT_NOPROGRESS, 0L);
        curl_easy_setopt(easy.get(), CURLOPT_XFERINFOFUNCTION, &ProgressState::callback);
        curl_easy_setopt(easy.get(), CURLOPT_XFERINFODATA, &progress);
        code = perform(easy.get());
    }
    const bool flushed = std::fflush(file) == 0 && ::fsync(fileno(file)) == 0;
    const bool closed = std::fclose(file) == 0;
    std::error_code ec;
    if (code == CURLE_OK && flushed && closed) {
        fs::rename(part, path, ec);
        if (!ec) {
            last_error_.store(0);
            if (report) report(100);
            return DownloadResult::ok;
        }
    }
    fs::remove(part, ec);
    if (cancelled_.load()) {
        last_error_.store(kErrorCancelled);
        return DownloadResult::cancelled;
    }
    last_error_.store(kErrorTransferBase + (code == CURLE_OK ? CURLE_WRITE_ERROR : code));
    debug_printf("download %s: %s%s", url.c_str(), curl_easy_strerror(static_cast<CURLcode>(code)),
                 sink.too_large ? " (too large)" : "");
    return DownloadResult::failed;
}

}  // namespace tellune::update
