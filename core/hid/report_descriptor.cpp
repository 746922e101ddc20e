#include "core/hid/report_descriptor.h"

#include <algorithm>
#include <map>

namespace tellune::hid {

namespace {

// Limits that keep the work bounded on hostile descriptors. Real devices stay far below.
constexpr int kMaxCollectionDepth = 32;
constexpr int kMaxPushDepth = 16;
constexpr size_t kMaxLocalUsages = 1024;
constexpr size_t kMaxCollections = 1024;
constexpr size_t kMaxCapabilities = 4096;
// Report lengths are 16-bit including the id byte.
constexpr uint64_t kMaxReportBits = 65534ull * 8;

enum class Kind { input = 0, output = 1, feature = 2 };

struct Globals {
    uint16_t usage_page = 0;
    int32_t logical_min = 0;
    int32_t logical_max = 0;
    uint32_t logical_max_raw = 0;  // unsigned reading, see main_item
    int32_t physical_min = 0;
    int32_t physical_max = 0;
    uint32_t report_size = 0;
    uint32_t report_count = 0;
    uint8_t report_id = 0;
};

// A local usage or usage range, in listing order. Extended usages (4-byte data) carry
// their own page; others take the usage page in force at the main item.
struct Segment {
    uint16_t page = 0;
    bool extended = false;
    uint16_t lo = 0, hi = 0;
    size_t length() const { return size_t{hi} - lo + 1; }
};

struct TopLevel {
    HidCollection collection;
    uint16_t next_link = 1;  // link collection numbers inside this top-level collection
    // (kind, id) pairs whose reports belong to this collection.
    std::vector<std::pair<Kind, uint8_t>> reports;
};

int32_t sign_extend(uint32_t v, int size) {
    if (size == 1) return static_cast<int8_t>(v);
    if (size == 2) return static_cast<int16_t>(v);
    return static_cast<int32_t>(v);
}

class Parser {
public:
    explicit Parser(std::span<const uint8_t> bytes) : bytes_(bytes) {}

    ReportDescriptor run() {
        ReportDescriptor result;
        bool ok = parse();
        if (ok && depth_ != 0) ok = false;  // unclosed collection
        for (auto& top : done_) {
            for (auto [kind, id] : top.reports) {
                uint64_t bits = bits_[{kind, id}];
                auto len = static_cast<uint16_t>((bits + 7) / 8 + 1);
                uint16_t* field = kind == Kind::input    ? &top.collection.input_report_length
                                  : kind == Kind::output ? &top.collection.output_report_length
                                                         : &top.collection.feature_report_length;
                *field = std::max(*field, len);
                if (id != 0) top.collection.report_ids.push_back(id);
                if (kind == Kind::input) top.collection.input_report_ids.push_back(id);
            }
            for (auto* ids : {&top.collection.report_ids, &top.collection.input_report_ids}) {
                std::sort(ids->begin(), ids->end());
                ids->erase(std::unique(ids->begin(), ids->end()), ids->end());
            }
            result.collections.push_back(std::move(top.collection));
        }
        result.ok = ok;
        return result;
    }

private:
    bool parse() {
        size_t pos = 0;
        while (pos < bytes_.size()) {
            uint8_t prefix = bytes_[pos];
            if (prefix == 0xFE) {  // long item: skipped, no long items are defined
                if (bytes_.size() - pos < 3) return false;
                size_t size = bytes_[pos + 1];
                if (bytes_.size() - pos - 3 < size) return false;
                pos += 3 + size;
                continue;
            }
            int size = prefix & 3;
            if (size == 3) size = 4;
            if (bytes_.size() - pos - 1 < static_cast<size_t>(size)) return false;
            uint32_t data = 0;
            for (int i = 0; i < size; ++i) data |= uint32_t{bytes_[pos + 1 + i]} << (8 * i);
            pos += 1 + size;
            int type = (prefix >> 2) & 3;
            int tag = prefix >> 4;
            bool ok = true;
            switch (type) {
                case 0:
                    ok = main_item(tag, data);
                    break;
                case 1:
                    ok = global_item(tag, data, size);
                    break;
                case 2:
                    ok = local_item(tag, data, size);
                    break;
                default:
                    break;  // reserved type: ignored
            }
            if (!ok) return false;
        }
        return true;
    }

    bool global_item(int tag, uint32_t data, int size) {
        switch (tag) {
            case 0:
                g_.usage_page = static_cast<uint16_t>(data);
                break;
            case 1:
                g_.logical_min = sign_extend(data, size);
                break;
            case 2:
                g_.logical_max = sign_extend(data, size);
                g_.logical_max_raw = data;
                break;
            case 3:
                g_.physical_min = sign_extend(data, size);
                break;
            case 4:
                g_.physical_max = sign_extend(data, size);
                break;
            case 7:
                g_.report_size = data;
                break;
            case 8:
                if (data == 0 || data > 0xFF) return false;
                g_.report_id = static_cast<uint8_t>(data);
                break;
            case 9:
                g_.report_count = data;
                break;
            case 10:
                if (stack_.size() >= kMaxPushDepth) return false;
                stack_.push_back(g_);
                break;
            case 11:
                if (stack_.empty()) return false;
                g_ = stack_.back();
                stack_.pop_back();
                break;
            default:
                break;  // unit, unit exponent: not needed
        }
        return true;
    }

    bool local_item(int tag, uint32_t data, int size) {
        Segment u{static_cast<uint16_t>(data >> 16), size == 4, static_cast<uint16_t>(data),
                  static_cast<uint16_t>(data)};
        switch (tag) {
            case 0:
                return push_segment(u);
            case 1:
                min_ = u;
                has_min_ = true;
                break;
            case 2:
                max_ = u;
                has_max_ = true;
                break;
            default:
                return true;  // designators, strings, delimiters: not needed
        }
        if (has_min_ && has_max_) {
            Segment range = min_;
            range.hi = std::max(min_.lo, max_.lo);
            has_min_ = has_max_ = false;
            return push_segment(range);
        }
        return true;
    }

    bool push_segment(const Segment& s) {
        if (segments_.size() >= kMaxLocalUsages) return false;
        segments_.push_back(s);
        return true;
    }

    uint16_t page_of(const Segment& s) const { return s.extended ? s.page : g_.usage_page; }

    // The usage of field `index` of the current main item; the last usage repeats for the
    // remaining fields. Ranges are walked, never expanded into memory.
    void usage_at(size_t index, uint16_t& page, uint16_t& usage) const {
        for (const Segment& s : segments_) {
            if (index < s.length()) {
                page = page_of(s);
                usage = static_cast<uint16_t>(s.lo + index);
                return;
            }
            index -= s.length();
        }
        page = page_of(segments_.back());
        usage = segments_.back().hi;
    }

    size_t usage_count() const {
        size_t n = 0;
        for (const Segment& s : segments_) n += s.length();
        return n;
    }

    void clear_locals() {
        segments_.clear();
        has_min_ = has_max_ = false;
    }

    bool main_item(int tag, uint32_t data) {
        bool ok = true;
        switch (tag) {
            case 10:
                ok = begin_collection();
                break;
            case 12:
                ok = end_collection();
                break;
            case 8:
                ok = report_item(Kind::input, data);
                break;
            case 9:
                ok = report_item(Kind::output, data);
                break;
            case 11:
                ok = report_item(Kind::feature, data);
                break;
            default:
                break;
        }
        clear_locals();
        return ok;
    }

    bool begin_collection() {
        if (depth_ >= kMaxCollectionDepth) return false;
        uint16_t page = g_.usage_page, usage = 0;
        if (usage_count() > 0) usage_at(0, page, usage);
        if (depth_ == 0) {
            if (done_.size() >= kMaxCollections) return false;
            current_ = TopLevel();
            current_.collection.usage_page = page;
            current_.collection.usage = usage;
            links_.assign(1, 0);
        } else {
            if (current_.next_link == 0xFFFF) return false;
            links_.push_back(current_.next_link++);
        }
        ++depth_;
        return true;
    }

    bool end_collection() {
        if (depth_ == 0) return false;
        --depth_;
        links_.pop_back();
        if (depth_ == 0) done_.push_back(std::move(current_));
        return true;
    }

    bool report_item(Kind kind, uint32_t flags) {
        if (g_.report_size > 0xFFFF || g_.report_count > 0xFFFF) return false;
        uint64_t bits = uint64_t{g_.report_size} * g_.report_count;
        uint64_t& offset = bits_[{kind, g_.report_id}];
        if (offset + bits > kMaxReportBits) return false;
        uint32_t start = static_cast<uint32_t>(offset);
        offset += bits;
        // Items outside any collection belong to no top-level collection.
        if (depth_ == 0) return true;
        auto key = std::make_pair(kind, g_.report_id);
        if (std::find(current_.reports.begin(), current_.reports.end(), key) ==
            current_.reports.end())
            current_.reports.push_back(key);
        bool constant = flags & 1;
        if (kind != Kind::input || constant || bits == 0) return true;

        bool is_array = !(flags & 2);
        HidInputCapability cap;
        cap.report_id = g_.report_id;
        cap.link_collection = links_.back();
        cap.bit_size = static_cast<uint16_t>(g_.report_size);
        cap.logical_min = g_.logical_min;
        // A non-negative minimum makes an all-ones maximum byte mean 255, not -1.
        cap.logical_max = (g_.logical_min >= 0 && g_.logical_max < 0)
                              ? static_cast<int32_t>(g_.logical_max_raw & 0x7FFFFFFF)
                              : g_.logical_max;
        cap.physical_min = g_.physical_min;
        cap.physical_max = g_.physical_max;
        cap.is_array = is_array;
        cap.is_button = is_array || g_.report_size == 1;
        size_t usages = usage_count();
        auto& caps = current_.collection.input_caps;

        if (cap.is_button && is_array) {
            // One capability per listed usage or range; all share the array field.
            cap.bit_offset = start;
            cap.report_count = static_cast<uint16_t>(g_.report_count);
            if (usages == 0) return add(caps, cap, g_.usage_page, 0, 0);
            for (const Segment& s : segments_)
                if (!add(caps, cap, page_of(s), s.lo, s.hi)) return false;
            return true;
        }
        // Variables: one capability per field usage; the last usage takes the rest of the
        // fields. Buttons given as one range become one capability over that range.
        if (usages == 0) {
            cap.bit_offset = start;
            cap.report_count = static_cast<uint16_t>(g_.report_count);
            return add(caps, cap, g_.usage_page, 0, 0);
        }
        if (cap.is_button && segments_.size() == 1 && segments_[0].lo != segments_[0].hi) {
            cap.bit_offset = start;
            cap.report_count = static_cast<uint16_t>(g_.report_count);
            return add(caps, cap, page_of(segments_[0]), segments_[0].lo, segments_[0].hi);
        }
        size_t fields = std::min<size_t>(g_.report_count, usages);
        for (size_t i = 0; i < fields; ++i) {
            uint16_t page = 0, usage = 0;
            usage_at(i, page, usage);
            HidInputCapability c = cap;
            c.bit_offset = static_cast<uint32_t>(start + i * g_.report_size);
            c.report_count = i + 1 == fields ? static_cast<uint16_t>(g_.report_count - i) : 1;
            if (!add(caps, c, page, usage, usage)) return false;
        }
        return true;
    }

    bool add(std::vector<HidInputCapability>& caps, HidInputCapability cap, uint16_t page,
             uint16_t min, uint16_t max) {
        if (++total_caps_ > kMaxCapabilities) return false;
        cap.usage_page = page;
        cap.usage_min = min;
        cap.usage_max = max;
        caps.push_back(cap);
        return true;
    }

    std::span<const uint8_t> bytes_;
    Globals g_;
    std::vector<Globals> stack_;
    std::vector<Segment> segments_;
    Segment min_, max_;
    bool has_min_ = false, has_max_ = false;
    int depth_ = 0;
    std::vector<uint16_t> links_;
    TopLevel current_;
    std::vector<TopLevel> done_;
    std::map<std::pair<Kind, uint8_t>, uint64_t> bits_;
    size_t total_caps_ = 0;
};

}  // namespace

bool HidCollection::has_input_report(uint8_t id) const {
    return std::binary_search(input_report_ids.begin(), input_report_ids.end(), id);
}

ReportDescriptor parse_report_descriptor(std::span<const uint8_t> bytes) {
    return Parser(bytes).run();
}

}  // namespace tellune::hid
