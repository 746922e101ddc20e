#pragma once
// A scripted HID backend for tests: each device answers written reports through a
// responder, with latency, and can fail writes, refuse opens or be unplugged.

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/hid/hid_backend.h"

namespace tellune::hid::testing {

using Bytes = std::vector<uint8_t>;

struct FakeDevice {
    std::string path;
    HidAttributes attributes;
    HidCollection collection;
    // Replies to one written report (any number, queued in order).
    std::function<std::vector<Bytes>(const Bytes& report)> responder;
    std::chrono::milliseconds latency{0};

    // Guarded by mutex.
    std::mutex mutex;
    std::condition_variable cv;
    std::deque<std::pair<std::chrono::steady_clock::time_point, Bytes>> pending;
    std::vector<Bytes> written;
    bool gone = false;
    bool fail_writes = false;
    bool refuse_open = false;
    int opens = 0;

    std::vector<Bytes> Written() {
        std::lock_guard lock(mutex);
        return written;
    }
    void Queue(Bytes report) {
        std::lock_guard lock(mutex);
        pending.emplace_back(std::chrono::steady_clock::now(), std::move(report));
        cv.notify_all();
    }
    void Unplug() {
        std::lock_guard lock(mutex);
        gone = true;
        cv.notify_all();
    }
};

class FakeConnection : public HidConnection {
public:
    explicit FakeConnection(std::shared_ptr<FakeDevice> device) : device_(std::move(device)) {}
    HidAttributes attributes() const override { return device_->attributes; }
    const HidCollection& collection() const override { return device_->collection; }

    IoResult read(std::span<uint8_t> buffer, int timeout_ms) override {
        FakeDevice& d = *device_;
        std::unique_lock lock(d.mutex);
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
        for (;;) {
            if (aborted_) {
                aborted_ = false;  // like an auto-reset event
                return {IoStatus::aborted, 0};
            }
            if (d.gone) return {IoStatus::gone, 0};
            auto now = std::chrono::steady_clock::now();
            if (!d.pending.empty() && d.pending.front().first <= now) {
                Bytes r = std::move(d.pending.front().second);
                d.pending.pop_front();
                size_t n = std::min(r.size(), buffer.size());
                std::copy_n(r.begin(), n, buffer.begin());
                return {IoStatus::ok, n};
            }
            auto until = timeout_ms < 0 ? now + std::chrono::hours(1) : deadline;
            if (!d.pending.empty()) until = std::min(until, d.pending.front().first);
            if (timeout_ms >= 0 && now >= deadline) return {IoStatus::timeout, 0};
            d.cv.wait_until(lock, until);
        }
    }

    IoResult write(std::span<const uint8_t> report, int) override {
        FakeDevice& d = *device_;
        std::vector<Bytes> replies;
        Bytes bytes(report.begin(), report.end());
        {
            std::lock_guard lock(d.mutex);
            if (aborted_) {
                aborted_ = false;
                return {IoStatus::aborted, 0};
            }
            if (d.gone) return {IoStatus::gone, 0};
            if (d.fail_writes) return {IoStatus::error, 0};
            d.written.push_back(bytes);
        }
        if (d.responder) replies = d.responder(bytes);
        std::lock_guard lock(d.mutex);
        auto at = std::chrono::steady_clock::now() + d.latency;
        for (Bytes& r : replies) d.pending.emplace_back(at, std::move(r));
        d.cv.notify_all();
        return {IoStatus::ok, report.size()};
    }

    bool send_output_report(std::span<const uint8_t> report) override {
        std::lock_guard lock(device_->mutex);
        if (device_->gone) return false;
        device_->written.emplace_back(report.begin(), report.end());
        return true;
    }

    void abort() override {
        std::lock_guard lock(device_->mutex);
        aborted_ = true;
        device_->cv.notify_all();
    }

private:
    std::shared_ptr<FakeDevice> device_;
    bool aborted_ = false;  // guarded by the device mutex
};

class FakeBackend : public HidBackend {
public:
    std::shared_ptr<FakeDevice> Add(const std::string& path, HidAttributes attributes,
                                    HidCollection collection) {
        auto d = std::make_shared<FakeDevice>();
        d->path = path;
        d->attributes = attributes;
        d->collection = std::move(collection);
        std::lock_guard lock(mutex_);
        devices_.push_back(d);
        return d;
    }
    // Unplugs and forgets the device.
    void Remove(const std::string& path) {
        std::lock_guard lock(mutex_);
        for (auto it = devices_.begin(); it != devices_.end(); ++it) {
            if ((*it)->path == path) {
                (*it)->Unplug();
                devices_.erase(it);
                return;
            }
        }
    }
    std::vector<std::string> enumerate() override {
        std::lock_guard lock(mutex_);
        std::vector<std::string> paths;
        for (auto& d : devices_) paths.push_back(d->path);
        return paths;
    }
    std::unique_ptr<HidConnection> open(const std::string& path, OpenMode) override {
        std::lock_guard lock(mutex_);
        for (auto& d : devices_) {
            if (d->path != path) continue;
            std::lock_guard device_lock(d->mutex);
            if (d->gone || d->refuse_open) return nullptr;
            ++d->opens;
            return std::make_unique<FakeConnection>(d);
        }
        return nullptr;
    }

private:
    std::mutex mutex_;
    std::vector<std::shared_ptr<FakeDevice>> devices_;
};

// The vendor configuration collection: page 0xFF1C usage 0x92, report id 4, 64-byte
// input and output reports.
inline HidCollection config_collection() {
    HidCollection c;
    c.usage_page = 0xFF1C;
    c.usage = 0x92;
    c.report_ids = {4};
    c.input_report_ids = {4};
    c.input_report_length = 64;
    c.output_report_length = 64;
    return c;
}

inline HidCollection consumer_collection(uint8_t id) {
    HidCollection c;
    c.usage_page = 0x0C;
    c.usage = 0x01;
    c.report_ids = {id};
    c.input_report_ids = {id};
    c.input_report_length = 3;
    return c;
}

}  // namespace tellune::hid::testing
