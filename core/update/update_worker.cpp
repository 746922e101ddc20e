#include "core/update/update_worker.h"

#include "core/platform/platform.h"

namespace tellune::update {

UpdateWorker::UpdateWorker(ClientSettings settings) : client_(std::move(settings)) {}

UpdateWorker::~UpdateWorker() {
    stop();
}

bool UpdateWorker::start(Job job) {
    std::lock_guard lock(mutex_);
    if (busy_.load()) return false;
    if (thread_.joinable()) thread_.join();  // finished: only the handle is left
    stop_.store(false);
    client_.reset_cancel();
    busy_.store(true);
    thread_ = std::thread([this, job = std::move(job)] {
        name_this_thread("tl-update");
        job(client_, stop_);
        busy_.store(false);
    });
    return true;
}

void UpdateWorker::stop() {
    std::lock_guard lock(mutex_);
    stop_.store(true);
    client_.cancel();
    if (thread_.joinable()) thread_.join();
}

}  // namespace tellune::update
