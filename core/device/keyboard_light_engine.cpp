#include "core/device/keyboard_light_engine.h"

#include <algorithm>
#include <cmath>
#include <random>

namespace tellune::device {

namespace keyboard_tables {

// clang-format off
const std::array<std::array<uint8_t, kRows>, kColumns> kGrid = {{
    {126, 120, 121, 122, 123, 124}, {126, 21, 42, 63, 84, 105},   {0, 22, 43, 64, 85, 106},
    {1, 23, 44, 65, 86, 126},       {2, 24, 45, 66, 87, 107},     {3, 25, 46, 67, 88, 126},
    {4, 26, 47, 68, 89, 108},       {126, 27, 48, 69, 90, 126},   {5, 28, 49, 70, 91, 126},
    {6, 29, 50, 71, 92, 109},       {7, 30, 51, 72, 93, 126},     {8, 31, 52, 73, 94, 125},
    {9, 32, 53, 74, 126, 110},      {10, 33, 54, 126, 126, 111},  {11, 34, 55, 75, 95, 126},
    {12, 126, 126, 126, 126, 112},  {13, 35, 56, 126, 126, 113},  {14, 36, 57, 126, 96, 114},
    {15, 37, 58, 126, 126, 115},    {126, 38, 59, 76, 97, 116},   {126, 39, 60, 77, 98, 126},
    {126, 40, 61, 78, 99, 117},     {126, 41, 126, 119, 118, 126},
}};

const std::array<uint8_t, kKeys> kFirstOrder = {
    15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0, 21, 42, 63, 84, 105, 106, 107, 108,
    109, 125, 110, 111, 112, 113, 114, 115, 116, 117, 118, 119, 41, 40, 39, 38, 37, 36, 35, 34,
    33, 32, 31, 30, 29, 28, 27, 26, 25, 24, 23, 22, 43, 64, 85, 86, 87, 88, 89, 90, 91, 92, 93,
    94, 95, 96, 97, 98, 99, 78, 61, 60, 59, 58, 57, 56, 55, 54, 53, 52, 51, 50, 49, 48, 47, 46,
    45, 44, 65, 66, 67, 68, 69, 70, 71, 72, 73, 74, 75, 76, 77,
    126, 126, 126, 126, 126, 126, 126, 126, 126, 126, 126, 126, 126, 126, 126, 126, 126, 126,
    126, 126, 126};

const std::array<uint8_t, kKeys> kSecondOrder = {
    0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 17, 18, 19, 20, 41, 40, 39, 38, 37, 36,
    35, 34, 33, 32, 31, 30, 29, 28, 27, 26, 25, 24, 23, 22, 21, 42, 43, 44, 45, 46, 47, 48, 49,
    50, 51, 52, 53, 54, 55, 56, 57, 58, 59, 60, 61, 119, 78, 77, 76, 75, 126, 74, 73, 72, 71, 70,
    69, 68, 67, 66, 65, 64, 63, 84, 126, 85, 86, 87, 88, 89, 90, 91, 92, 93, 94, 95, 96, 97, 98,
    99, 118, 117, 116, 115, 114, 113, 112, 111, 110, 109, 108, 107, 106, 105,
    126, 126, 126, 126, 126, 126, 126, 126, 126, 126, 126, 126, 126, 126, 126, 126};

const std::array<std::array<uint8_t, 5>, kModes> kThresholds = {{
    {5, 4, 3, 2, 1},        {8, 7, 6, 5, 4},      {5, 4, 3, 2, 1},      {7, 6, 5, 4, 3},
    {9, 8, 7, 6, 5},        {5, 4, 3, 2, 1},      {7, 6, 5, 4, 3},      {7, 6, 5, 4, 3},
    {7, 6, 5, 4, 3},        {7, 6, 5, 4, 3},      {5, 4, 3, 2, 1},      {28, 23, 18, 13, 7},
    {28, 23, 18, 13, 7},    {28, 23, 18, 13, 7},  {28, 23, 18, 13, 7},  {0, 0, 0, 255, 255},
    {140, 255, 0, 110, 255}, {0, 5, 4, 3, 2},     {0, 9, 8, 7, 6},      {0, 7, 6, 5, 4},
    {0, 15, 13, 11, 9},     {0, 15, 13, 11, 9},   {5, 4, 3, 2, 1},      {0, 5, 4, 3, 2},
    {0, 7, 6, 5, 4},        {0, 7, 6, 5, 4},
}};
// clang-format on

namespace {

constexpr std::array<uint8_t, 24> kPulseRise = {0,   4,   8,   14,  22,  33,  45,  61,
                                                77,  84,  100, 110, 120, 130, 140, 150,
                                                158, 166, 175, 182, 191, 204, 220, 234};

// Up to 255 at phase 24, down the falling half of the breathing curve from 248 to 3, then
// 2, 2, 1 and dark from phase 88 on.
std::array<uint8_t, 192> make_pulse() {
    std::array<uint8_t, 192> p{};
    size_t i = 0;
    for (uint8_t v : kPulseRise) p[i++] = v;
    p[i++] = 255;
    for (size_t b = 65; b <= 124; ++b) p[i++] = light_tables::kBreathing[b];
    for (uint8_t v : {2, 2, 1}) p[i++] = v;
    return p;
}

std::array<Cell, kKeys> make_cells() {
    std::array<Cell, kKeys> cells{};
    for (int c = 0; c < kColumns; ++c)
        for (int r = 0; r < kRows; ++r)
            if (const uint8_t key = kGrid[size_t(c)][size_t(r)]; key < kKeys) cells[key] = {c, r};
    return cells;
}

}  // namespace

const std::array<uint8_t, 192> kPulse = make_pulse();

Cell cell_of(size_t key) {
    static const std::array<Cell, kKeys> cells = make_cells();
    return key < kKeys ? cells[key] : Cell{};
}

}  // namespace keyboard_tables

using namespace keyboard_tables;
using light_tables::kBrightness;
using light_tables::kWave;
using light_tables::kWheel;

namespace {

uint8_t scale(uint8_t a, uint8_t b) {
    return static_cast<uint8_t>(unsigned{a} * b / 256);
}

uint8_t key_at(int column, int row) {
    if (column < 0 || column >= kColumns || row < 0 || row >= kRows) return kNoKey;
    return kGrid[size_t(column)][size_t(row)];
}

// The keys of the first order, without its empty places.
const std::vector<uint8_t>& first_order_keys() {
    static const std::vector<uint8_t> keys = [] {
        std::vector<uint8_t> out;
        for (uint8_t k : kFirstOrder)
            if (k < kKeys) out.push_back(k);
        return out;
    }();
    return keys;
}

// The first order's keys in a fixed scrambled order, so that consecutive random numbers do
// not pick neighbours. Every key of the order is in it: a key left out would never light.
const std::vector<uint8_t>& shuffled_keys() {
    static const std::vector<uint8_t> keys = [] {
        const std::vector<uint8_t>& order = first_order_keys();
        std::vector<uint8_t> out(order.size());
        // 37 shares no factor with the 105 keys: a permutation.
        for (size_t i = 0; i < order.size(); ++i) out[i] = order[(i * 37 + 11) % order.size()];
        return out;
    }();
    return keys;
}

using Groups = std::vector<std::vector<uint8_t>>;

const Groups& column_groups() {
    static const Groups groups = [] {
        Groups g(kColumns);
        for (int c = 0; c < kColumns; ++c)
            for (int r = 0; r < kRows; ++r)
                if (uint8_t k = key_at(c, r); k < kKeys) g[size_t(c)].push_back(k);
        return g;
    }();
    return groups;
}

const Groups& row_groups() {
    static const Groups groups = [] {
        Groups g(kRows);
        for (int r = 0; r < kRows; ++r)
            for (int c = 0; c < kColumns; ++c)
                if (uint8_t k = key_at(c, r); k < kKeys) g[size_t(r)].push_back(k);
        return g;
    }();
    return groups;
}

// Entries of 126 neither light nor take a place in the wave.
const Groups& order_groups() {
    static const Groups groups = [] {
        Groups g;
        for (uint8_t k : first_order_keys()) g.push_back({k});
        return g;
    }();
    return groups;
}

// Rings around the middle of the board, one grid step apart (rows count as tall as
// columns are wide).
const Groups& ring_groups() {
    static const Groups groups = [] {
        Groups g;
        for (int c = 0; c < kColumns; ++c)
            for (int r = 0; r < kRows; ++r) {
                const uint8_t k = key_at(c, r);
                if (k >= kKeys) continue;
                const double d = std::hypot(c - 11.0, r - 2.5);
                const size_t ring = size_t(std::lround(d));
                if (g.size() <= ring) g.resize(ring + 1);
                g[ring].push_back(k);
            }
        return g;
    }();
    return groups;
}

// What a key press in the splash raises around it: the cells one row or column away by 150,
// those two rows away and the diagonals by 90, those two columns away by 60; a release
// lowers the first by 15 and the others by 90.
struct Neighbour {
    int dc, dr;
    uint8_t raise, lower;
};
constexpr Neighbour kSplash[] = {
    {0, -1, 150, 15}, {0, 1, 150, 15}, {-1, 0, 150, 15}, {1, 0, 150, 15},
    {0, -2, 90, 90},  {0, 2, 90, 90},  {-1, -1, 90, 90}, {1, -1, 90, 90},
    {-1, 1, 90, 90},  {1, 1, 90, 90},  {-2, 0, 60, 90},  {2, 0, 60, 90},
};

bool splash_reaches(size_t from, size_t to) {
    if (from == to) return true;
    const Cell a = cell_of(from), b = cell_of(to);
    if (!a.valid() || !b.valid()) return false;
    for (const Neighbour& n : kSplash)
        if (a.column + n.dc == b.column && a.row + n.dr == b.row) return true;
    return false;
}

// The zone mode's colour of a key at (column, row) in scheme `scheme`.
Rgb zone_colour(int scheme, int c, int r, uint8_t key) {
    switch (scheme) {
        case 0:  // a rainbow from left to right
            return kWheel[size_t(c * 8) % kWheel.size()];
        case 1:  // the blocks of the board
            if (c == 0) return {160, 0, 255};
            if (r == 0 && c <= 15) return {255, 96, 0};
            if (c >= 19) return {255, 0, 160};
            if (c >= 16) return {0, 255, 64};
            return {0, 200, 255};
        case 2:  // the movement keys against a calm board: W A S D and the arrows
            for (uint8_t k : {44, 64, 65, 66, 96, 113, 114, 115})
                if (key == k) return {255, 0, 0};
            return {0, 40, 140};
        case 3:  // one colour per row
            return kWheel[size_t(r * 32)];
        default:  // warm left half, cold right half
            return c <= 11 ? Rgb{255, 60, 0} : Rgb{0, 90, 255};
    }
}

// Brightness of a heartbeat at x/256 of the beat: a strong beat, then a weaker one.
uint8_t beat_level(uint32_t x) {
    auto bump = [x](uint32_t at, uint32_t peak) -> uint32_t {
        if (x < at || x >= at + 48) return 0;
        return peak * (48 - (x - at)) / 48;
    };
    return uint8_t(std::max(bump(0, 255), bump(64, 170)));
}

constexpr uint32_t kBeatPeriodMs[5] = {1500, 1300, 1100, 1000, 900};
constexpr uint32_t kBeatDelayPerColumnMs = 15;

}  // namespace

KeyboardLightEngine::KeyboardLightEngine(size_t led_count, Random random)
    : leds_(led_count), base_(led_count) {
    set_random(std::move(random));
    drops_.fill(-1);
}

void KeyboardLightEngine::set_random(Random random) {
    if (random) {
        random_ = std::move(random);
        return;
    }
    random_ = [gen = std::minstd_rand(std::random_device{}())]() mutable {
        return uint32_t(gen());
    };
}

void KeyboardLightEngine::set_led_count(size_t count) {
    leds_.assign(count, LedColour{});
    base_.set_led_count(count);
}

uint8_t KeyboardLightEngine::level() const {
    return kBrightness[std::min<size_t>(settings_.light(), 4)];
}

uint8_t KeyboardLightEngine::speed() const {
    return uint8_t(std::min<size_t>(settings_.speed(), 4));
}

void KeyboardLightEngine::put(size_t key, Rgb c, uint8_t lvl) {
    if (key < leds_.size()) leds_[key] = {c.r, c.g, c.b, lvl};
}

void KeyboardLightEngine::show(size_t key, uint8_t key_level) {
    if (key >= kKeys) return;
    put(key, multi() ? kWheel[colour_index_[key] % kWheel.size()] : colour(),
        scale(level(), key_level));
}

void KeyboardLightEngine::decay_and_show_all() {
    for (size_t k = 0; k < kKeys; ++k) {
        levels_[k] = decay_level(levels_[k], false);
        show(k, levels_[k]);
    }
}

// --- settings and time ---

void KeyboardLightEngine::apply_light_settings(const LightSettings& settings,
                                               const std::vector<LedZoneRecord>& zones,
                                               const std::vector<LightEffectStep>& steps,
                                               uint32_t now_ms) {
    const bool new_mode = !applied_ || settings.select_item() != settings_.select_item();
    applied_ = true;
    settings_ = settings;
    zones_ = zones;
    base_.apply_light_settings(settings, {}, steps, now_ms);
    if (new_mode) {
        restart();
        start(now_ms);
    } else if (mode() == kKbCustom) {
        custom();  // the brightness may have changed
    }
    drawn_ = false;
}

void KeyboardLightEngine::tick(uint32_t now_ms) {
    if (mode() >= kModes) {
        base_.run_step_player(now_ms);
        from_base();
        drawn_ = true;
        ++frames_;
    } else if (++counter_ >= kThresholds[mode()][speed()]) {
        counter_ = 0;
        run_effect(now_ms);
        drawn_ = true;
        ++frames_;
    }
    // The zones of the profile are drawn over the effect on every pass.
    if (!zones_.empty()) {
        base_.render_zones(zones_, now_ms, leds_);
        ++frames_;
    }
}

uint32_t KeyboardLightEngine::ticks_until_change(uint32_t) const {
    if (mode() >= kModes || !zones_.empty()) return 1;
    const uint32_t threshold = kThresholds[mode()][speed()];
    const uint32_t first = counter_ + 1u < threshold ? threshold - counter_ : 1;
    switch (mode()) {
        case kKbStatic:
        case kKbCustom:
        case kKbOff:
        case kKbZones:
            // The same frame every time: once drawn, only new settings change it.
            return drawn_ ? kNoChange : first;
        default:
            return first;
    }
}

void KeyboardLightEngine::run_effect(uint32_t now_ms) {
    switch (mode()) {
        case kKbColumnWave:
            wave(column_groups(), 7);
            break;
        case kKbSpectrum:
            base_.render_spectrum();
            from_base();
            break;
        case kKbBreathing:
            base_.render_breathing(false);
            from_base();
            break;
        case kKbStatic:
            base_.render_static();
            from_base();
            break;
        case kKbRainbow:
            rainbow();
            break;
        case kKbCentreRipple:
            centre_ripple();
            break;
        case kKbRaindrop:
            raindrop();
            break;
        case kKbKeyOrderWave:
            wave(order_groups(), 5);
            break;
        case kKbCustom:
            custom();
            break;
        case kKbSparkle:
            sparkle();
            break;
        case kKbRowWave:
            wave(row_groups(), 7);
            break;
        case kKbStarlight:
            starlight();
            break;
        case kKbTrace:
            trace();
            break;
        case kKbFlashWave:
            flash_wave();
            break;
        case kKbCrossWave:
            cross_wave();
            break;
        case kKbHeartbeat:
            heartbeat(now_ms);
            break;
        case kKbTwinkle:
            twinkle();
            break;
        case kKbBlink:
            base_.render_blink(false, now_ms);
            from_base();
            break;
        case kKbRippleWave:
            wave(ring_groups(), 6);
            break;
        case kKbReactiveRipple:
            reactive_ripple();
            break;
        case kKbReactiveSplash:
        case kKbReactiveFade:
            fade_render();
            break;
        case kKbFourColourBreathing:
            base_.render_breathing(true);
            from_base();
            break;
        case kKbFourColourBlink:
            base_.render_blink(true, now_ms);
            from_base();
            break;
        case kKbZones:
            zones();
            break;
        default:
            base_.render_off();
            from_base();
            break;
    }
}

void KeyboardLightEngine::from_base() {
    const std::vector<LedColour>& base = base_.leds();
    std::copy_n(base.begin(), std::min(base.size(), leds_.size()), leds_.begin());
}

// --- restart and start ---

void KeyboardLightEngine::restart() {
    std::fill(leds_.begin(), leds_.end(), LedColour{});
    levels_.fill(0);
    colour_index_.fill(0);
    states_.fill(0);
    twinkle_.fill(0);
    for (Plane& p : planes_) p.fill(0);
    drops_.fill(-1);
    drop_colour_.fill(0);
    counter_ = 0;
    phase_ = 0;
    trace_ = 0;
    runs_ = 0;
    column_ = 0;
    row_ = 0;
    row_down_ = true;
    hue_ = 0;
}

void KeyboardLightEngine::start(uint32_t now_ms) {
    switch (mode()) {
        case kKbCentreRipple:
            start_centre_ripple();
            return;
        case kKbStarlight:
            start_starlight();
            return;
        case kKbHeartbeat:
            // Each key's colour index follows its column, so the beat shows a rainbow.
            for (size_t k = 0; k < kKeys; ++k)
                if (const Cell c = cell_of(k); c.valid()) colour_index_[k] = uint8_t(c.column * 8);
            beat_start_ = now_ms;
            return;
        case kKbTwinkle:
            start_twinkle();
            return;
        case kKbCustom:
            custom();
            break;
        default:
            break;
    }
    start_shared();
}

void KeyboardLightEngine::start_shared() {
    // Spread the wheel over the keys: the per-key rainbow starts from here, and every mode
    // that shows the wheel at a key's own index gets a rainbow board.
    for (size_t k = 0; k < kKeys; ++k) colour_index_[k] = uint8_t(33 * (k + 1) % 192);
}

void KeyboardLightEngine::start_centre_ripple() {
    // One row below the grid, so the first wave rises into the board.
    for (Plane& p : planes_) p[9] = 1u << 6;
}

void KeyboardLightEngine::start_starlight() {
    // Some stars are already out when the mode starts.
    const std::vector<uint8_t>& keys = shuffled_keys();
    for (int i = 0; i < 20; ++i) {
        const uint8_t k = keys[random() % keys.size()];
        levels_[k] = uint8_t(random() % 256);
        states_[k] = random() % 2 ? 1 : 2;
        colour_index_[k] = uint8_t(random() % 192);
    }
}

void KeyboardLightEngine::start_twinkle() {
    // Columns twinkle one after the other, each in its own colour.
    for (uint8_t k : first_order_keys()) {
        const int column = cell_of(k).column;
        twinkle_[k] = uint8_t((192 - column * 8) % 192);
        colour_index_[k] = uint8_t(column * 8);
    }
}

// --- effects ---

void KeyboardLightEngine::wave(const std::vector<std::vector<uint8_t>>& groups, int spacing) {
    const uint8_t lvl = level();
    if (!multi()) {
        phase_ = Step(up(), 96, phase_, 1);
        const Rgb c = colour();
        for (size_t g = 0; g < groups.size(); ++g) {
            const uint8_t l = scale(lvl, kWave[(phase_ + 1 + size_t(spacing) * g) % 96]);
            for (uint8_t k : groups[g]) put(k, c, l);
        }
        return;
    }
    phase_ = Step(up(), 192, phase_, 1);
    for (size_t g = 0; g < groups.size(); ++g) {
        const Rgb c = kWheel[(phase_ + 1 + size_t(spacing) * g) % 192];
        for (uint8_t k : groups[g]) put(k, c, lvl);
    }
}

void KeyboardLightEngine::rainbow() {
    const uint8_t lvl = level();
    for (size_t k = 0; k < kKeys; ++k) {
        uint8_t& index = colour_index_[k];
        index = index >= 191 ? 0 : uint8_t(index + 1);
        put(k, kWheel[index], lvl);
    }
}

void KeyboardLightEngine::trace() {
    const uint8_t leaving = trace_;
    bool jumped = false;
    if (!up()) {
        jumped = trace_ == 0;
        trace_ = jumped ? kNoKey : uint8_t(trace_ - 1);
    } else {
        jumped = trace_ >= kNoKey;
        trace_ = jumped ? 0 : uint8_t(trace_ + 1);
    }
    if (!jumped && leaving < kSecondOrder.size()) {
        const uint8_t key = kSecondOrder[leaving];
        if (key < kKeys) levels_[key] = 254;
    }
    for (uint8_t k : first_order_keys()) {
        levels_[k] = decay_level(levels_[k], false);
        show(k, levels_[k]);
    }
}

void KeyboardLightEngine::custom() {
    const uint8_t lvl = level();
    for (size_t k = 0; k < kKeys; ++k) put(k, custom_[k], lvl);
}

void KeyboardLightEngine::set_custom_colours(const std::vector<CustomColour>& colours) {
    for (size_t k = 0; k < kKeys; ++k)
        custom_[k] =
            k < colours.size() ? Rgb{colours[k].red, colours[k].green, colours[k].blue} : Rgb{};
    if (mode() == kKbCustom) custom();
}

void KeyboardLightEngine::set_custom_colour(size_t key, Rgb colour) {
    if (key >= kKeys) return;
    custom_[key] = colour;
    if (mode() == kKbCustom) put(key, colour, level());
}

void KeyboardLightEngine::light_planes() {
    for (int c = 0; c < kColumns; ++c) {
        uint8_t bits = 0;
        for (const Plane& p : planes_) bits |= p[size_t(c)];
        for (int r = 0; r < kRows; ++r) {
            if (!(bits & (1u << r))) continue;
            const uint8_t k = key_at(c, r);
            if (k >= kKeys) continue;
            levels_[k] = 255;
            if (multi()) colour_index_[k] = uint8_t(random() % 192);
        }
    }
}

// Each plane moves one row up or down and passes its bits to the neighbouring column on its
// side; a column keeps what it passes on, so a press spreads as widening bars.
void KeyboardLightEngine::spread_planes() {
    const auto move = [](const Plane& old, bool to_left, bool upwards) {
        Plane out{};
        for (int c = 0; c < kColumns; ++c) {
            const int from = to_left ? c + 1 : c - 1;
            uint32_t bits = old[size_t(c)];
            if (from >= 0 && from < kColumns) bits |= old[size_t(from)];
            out[size_t(c)] = uint8_t(upwards ? bits >> 1 : bits << 1);
        }
        return out;
    };
    planes_[0] = move(planes_[0], true, true);
    planes_[1] = move(planes_[1], false, true);
    planes_[2] = move(planes_[2], false, false);
    planes_[3] = move(planes_[3], true, false);
}

void KeyboardLightEngine::reactive_ripple() {
    light_planes();
    spread_planes();
    decay_and_show_all();
}

void KeyboardLightEngine::centre_ripple() {
    ++runs_;
    uint8_t bits = 0;
    for (const Plane& p : planes_) bits |= p[9];
    // At the top or one row below the board the wave turns and starts from the middle.
    if (bits == 0x01 || bits == 0x40)
        for (Plane& p : planes_) p[9] = bits;
    if (runs_ >= 3 && runs_ % 2 == 1) {
        light_planes();
        spread_planes();
    }
    decay_and_show_all();
}

void KeyboardLightEngine::sparkle() {
    const std::vector<uint8_t>& keys = shuffled_keys();
    for (int i = 0; i < 6; ++i) {
        const uint8_t k = keys[random() % keys.size()];
        levels_[k] = 255;
        colour_index_[k] = uint8_t(random() % 192);
    }
    decay_and_show_all();
}

void KeyboardLightEngine::twinkle() {
    for (uint8_t k : first_order_keys()) {
        uint8_t& phase = twinkle_[k];
        if (phase >= 191) {
            phase = 0;
            colour_index_[k] = uint8_t(random() % 192);
        } else {
            ++phase;
        }
        show(k, kPulse[phase]);
    }
}

void KeyboardLightEngine::fade_render() {
    for (size_t k = 0; k < kKeys; ++k) {
        uint8_t& l = levels_[k];
        if (states_[k] == 1) {
            l = uint8_t(std::min(255, l + 15));
        } else if (states_[k] == 2) {
            l = uint8_t(std::max(0, l - 5));
            if (l == 0) states_[k] = 0;
        }
        show(k, l);
    }
}

void KeyboardLightEngine::key_event(size_t key, KeyAction action) {
    if (key >= kKeys) return;
    pressed_[key] = action == KeyAction::down;
    switch (mode()) {
        case kKbReactiveRipple:
            if (action == KeyAction::down)
                if (const Cell c = cell_of(key); c.valid())
                    for (Plane& p : planes_) p[size_t(c.column)] |= uint8_t(1u << c.row);
            break;
        case kKbReactiveSplash:
            splash(key, action);
            break;
        case kKbReactiveFade:
            states_[key] = uint8_t(action);
            levels_[key] = 255;
            break;
        default:
            break;
    }
}

void KeyboardLightEngine::splash(size_t key, KeyAction action) {
    const Cell cell = cell_of(key);
    if (action == KeyAction::down) {
        levels_[key] = 255;
        states_[key] = 1;
        if (!cell.valid()) return;
        for (const Neighbour& n : kSplash) {
            const uint8_t k = key_at(cell.column + n.dc, cell.row + n.dr);
            if (k >= kKeys) continue;
            levels_[k] = uint8_t(std::min(255, levels_[k] + n.raise));
            states_[k] = 1;
        }
        return;
    }
    // The key itself fades from where it is, unless another pressed key still lights it.
    const auto lit_by_other = [this, key](size_t k) {
        for (size_t other = 0; other < kKeys; ++other)
            if (other != key && pressed_[other] && splash_reaches(other, k)) return true;
        return false;
    };
    if (!lit_by_other(key)) states_[key] = 2;
    if (!cell.valid()) return;
    for (const Neighbour& n : kSplash) {
        const uint8_t k = key_at(cell.column + n.dc, cell.row + n.dr);
        if (k >= kKeys || lit_by_other(k)) continue;
        levels_[k] = uint8_t(std::max(0, levels_[k] - n.lower));
        states_[k] = 2;
    }
}

void KeyboardLightEngine::raindrop() {
    for (int8_t& row : drops_)
        if (row >= 0) row = row + 1 < kRows ? int8_t(row + 1) : int8_t(-1);
    // About one new drop every third run, in a random column that has none falling.
    if (random() % 3 == 0) {
        const size_t c = random() % size_t(kColumns);
        if (drops_[c] < 0) {
            drops_[c] = 0;
            drop_colour_[c] = uint8_t(random() % 192);
        }
    }
    for (int c = 0; c < kColumns; ++c) {
        if (drops_[size_t(c)] < 0) continue;
        const uint8_t k = key_at(c, drops_[size_t(c)]);
        if (k >= kKeys) continue;
        levels_[k] = 255;
        colour_index_[k] = drop_colour_[size_t(c)];
    }
    decay_and_show_all();
}

void KeyboardLightEngine::starlight() {
    const std::vector<uint8_t>& keys = shuffled_keys();
    const uint8_t star = keys[random() % keys.size()];
    if (states_[star] == 0) {
        states_[star] = 1;
        colour_index_[star] = uint8_t(random() % 192);
    }
    // A star brightens quickly and fades slowly.
    for (uint8_t k : keys) {
        uint8_t& l = levels_[k];
        if (states_[k] == 1) {
            l = uint8_t(std::min(255, l + 17));
            if (l == 255) states_[k] = 2;
        } else if (states_[k] == 2) {
            l = uint8_t(std::max(0, l - 6));
            if (l == 0) states_[k] = 0;
        }
        show(k, l);
    }
}

void KeyboardLightEngine::flash_wave() {
    // A bright column sweeps the board and leaves a fading trail; the wheel moves on with
    // every sweep.
    column_ = Step(up(), kColumns, column_, 1);
    if (column_ == (up() ? 0 : kColumns - 1)) hue_ = uint8_t((hue_ + 24) % 192);
    for (uint8_t k : column_groups()[column_]) {
        levels_[k] = 255;
        colour_index_[k] = uint8_t((hue_ + column_ * 8) % 192);
    }
    for (size_t k = 0; k < kKeys; ++k) {
        levels_[k] = decay_level(levels_[k], false);
        put(k, kWheel[colour_index_[k] % 192], scale(level(), levels_[k]));
    }
}

void KeyboardLightEngine::cross_wave() {
    // A column sweeping across and a row going up and down; the keys they cross light up.
    column_ = Step(up(), kColumns, column_, 1);
    if (++runs_ % 4 == 0) {
        if (row_down_ && row_ + 1 >= kRows) row_down_ = false;
        if (!row_down_ && row_ == 0) row_down_ = true;
        row_ = uint8_t(row_down_ ? row_ + 1 : row_ - 1);
    }
    for (uint8_t k : column_groups()[column_]) levels_[k] = 255;
    for (uint8_t k : row_groups()[row_]) levels_[k] = 255;
    decay_and_show_all();
}

void KeyboardLightEngine::heartbeat(uint32_t now_ms) {
    const uint32_t period = kBeatPeriodMs[speed()];
    const uint32_t t = (now_ms - beat_start_) % period;
    for (int c = 0; c < kColumns; ++c) {
        // The beat starts in the middle and reaches the sides a little later.
        const uint32_t delay = uint32_t(std::abs(c - 11)) * kBeatDelayPerColumnMs;
        const uint32_t local = (t + period - delay % period) % period;
        const uint8_t l = beat_level(local * 256 / period);
        for (uint8_t k : column_groups()[size_t(c)]) {
            levels_[k] = l;
            show(k, l);
        }
    }
}

void KeyboardLightEngine::zones() {
    const int scheme = settings_.led_mode() % kZoneSchemes;
    const uint8_t lvl = level();
    for (int c = 0; c < kColumns; ++c)
        for (int r = 0; r < kRows; ++r)
            if (const uint8_t k = key_at(c, r); k < kKeys)
                put(k, zone_colour(scheme, c, r, k), lvl);
}

}  // namespace tellune::device
