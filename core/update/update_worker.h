#pragma once
// A worker thread of the settings window: runs one job (the check or the downloads) with
// its own HTTP client. stop() sets the stop flag and cancels the request in flight, which
// wakes the only wait a job has, then joins: no thread is ever killed.

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "core/update/http_client.h"

namespace tellune::update {

class UpdateWorker {
public:
    using Job = std::function<void(HttpClient& client, const std::atomic<bool>& stop)>;

    explicit UpdateWorker(ClientSettings settings = {});
    ~UpdateWorker();
    UpdateWorker(const UpdateWorker&) = delete;
    UpdateWorker& operator=(const UpdateWorker&) = delete;

    // Starts `job` on a new thread. False while an earlier job still runs.
    bool start(Job job);
    // Stops and joins the running job; returns at once when none runs. Not from the job.
    void stop();
    // True from start() until the job has returned.
    bool running() const { return busy_.load(); }

private:
    std::mutex mutex_;  // start() and stop() against each other
    HttpClient client_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> busy_{false};
    std::thread thread_;
};

}  // namespace tellune::update
