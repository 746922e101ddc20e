#include "core/device/light_engine.h"

#include <algorithm>
#include <bit>

namespace tellune::device {

namespace light_tables {

namespace {

constexpr std::array<uint8_t, 64> kBreathingRise = {
    0,   1,   2,   3,   4,   5,   6,   7,   8,   9,   10,  12,  14,  16,  18,  20,
    22,  24,  27,  30,  33,  36,  39,  42,  45,  49,  53,  57,  61,  65,  69,  73,
    77,  81,  85,  89,  94,  99,  104, 109, 114, 119, 124, 129, 134, 140, 146, 152,
    158, 164, 170, 176, 182, 188, 194, 200, 206, 213, 220, 227, 234, 241, 248, 255};

constexpr std::array<uint8_t, 32> kRise = {1,   3,   5,   7,   10,  14,  18,  22,  26,  32,  38,
                                           44,  50,  57,  65,  73,  81,  89,  99,  109, 119, 129,
                                           140, 152, 164, 176, 188, 200, 213, 227, 241, 255};
constexpr std::array<uint8_t, 32> kFall = {248, 234, 220, 206, 194, 182, 170, 158, 146, 134, 124,
                                           114, 104, 94,  85,  77,  69,  61,  53,  47,  41,  35,
                                           29,  24,  20,  16,  12,  8,   6,   4,   2,   0};

constexpr std::array<uint8_t, 128> make_breathing() {
    std::array<uint8_t, 128> t{};
    for (size_t i = 0; i < 64; ++i) {
        t[i] = kBreathingRise[i];
        t[127 - i] = kBreathingRise[i];
    }
    return t;
}

constexpr std::array<uint8_t, 96> make_wave() {
    std::array<uint8_t, 96> t{};
    for (size_t i = 0; i < 48; ++i) {
        t[i] = kBreathingRise[16 + i];
        t[95 - i] = kBreathingRise[16 + i];
    }
    return t;
}

constexpr std::array<Rgb, 192> make_wheel() {
    std::array<Rgb, 192> t{};
    for (size_t k = 0; k < 32; ++k) {
        const uint8_t u = kRise[k], d = kFall[k];
        t[k] = {255, u, 0};
        t[32 + k] = {d, 255, 0};
        t[64 + k] = {0, 255, u};
        t[96 + k] = {0, d, 255};
        t[128 + k] = {u, 0, 255};
        t[160 + k] = {255, 0, d};
    }
    return t;
}

}  // namespace

const std::array<uint8_t, 5> kBrightness = {0, 60, 135, 195, 255};
const std::array<std::array<uint8_t, 5>, kThresholdRows> kThresholds = {{
    {5, 4, 3, 2, 1},
    {9, 8, 7, 6, 5},
    {7, 6, 5, 4, 3},
    {15, 13, 11, 9, 7},
    {7, 6, 5, 4, 3},
    {7, 6, 5, 4, 3},
    {7, 6, 5, 4, 3},
    {7, 6, 5, 4, 3},
    {7, 6, 5, 4, 3},
    {7, 6, 5, 4, 3},
    {28, 23, 18, 13, 7},
    {28, 23, 18, 13, 7},
    {28, 23, 18, 13, 7},
    {28, 23, 18, 13, 7},
}};
const std::array<uint8_t, 5> kBlinkPeriod = {5, 4, 3, 2, 1};
const std::array<uint8_t, 128> kBreathing = make_breathing();
const std::array<uint8_t, 96> kWave = make_wave();
const std::array<Rgb, 192> kWheel = make_wheel();
const std::array<Rgb, 8> kPalette8 = {{{255, 0, 0},
                                       {255, 64, 0},
                                       {255, 255, 0},
                                       {0, 255, 0},
                                       {0, 255, 255},
                                       {0, 0, 255},
                                       {128, 0, 255},
                                       {255, 255, 255}}};
const std::array<Rgb, 4> kPalette4 = {{{0, 255, 180}, {0, 255, 0}, {255, 255, 255}, {255, 0, 0}}};
const std::array<std::array<uint8_t, 3>, 7> kLedGroups = {{{0, 255, 13},
                                                           {1, 255, 12},
                                                           {2, 255, 11},
                                                           {3, 255, 10},
                                                           {4, 255, 9},
                                                           {5, 255, 8},
                                                           {6, 255, 7}}};
const std::array<Rgb, 7> kFixedPattern = {{{255, 0, 0},
                                           {255, 0, 0},
                                           {255, 255, 0},
                                           {0, 255, 0},
                                           {0, 255, 0},
                                           {255, 255, 0},
                                           {255, 0, 0}}};
const std::array<std::array<uint8_t, 2>, 7> kPadPairs = {
    {{1, 14}, {2, 13}, {3, 12}, {4, 11}, {5, 10}, {6, 9}, {7, 8}}};
const std::array<std::array<uint8_t, 2>, 7> kHeadsetGroups = {
    {{0, 7}, {1, 8}, {2, 9}, {3, 10}, {4, 11}, {5, 12}, {6, 255}}};

}  // namespace light_tables

using namespace light_tables;

namespace {

// Table indices from settings: a hand-edited profile can hold anything.
size_t clamp4(uint8_t v) {
    return std::min<size_t>(v, 4);
}

uint8_t scale(uint8_t a, uint8_t b) {
    return static_cast<uint8_t>(unsigned{a} * b / 256);
}

constexpr uint32_t kPeriodUnitMs = 200;

// Every LED a group of its own, for the LED spectrum.
constexpr std::array<std::array<uint8_t, 2>, LightEngine::kLevelCount> make_single_groups() {
    std::array<std::array<uint8_t, 2>, LightEngine::kLevelCount> t{};
    for (size_t i = 0; i < t.size(); ++i) t[i] = {static_cast<uint8_t>(i), 255};
    return t;
}
constexpr auto kSingleGroups = make_single_groups();

constexpr int kEveryPass = -1;  // threshold(): the step player runs on every tick
constexpr int kNoEffect = -2;   // threshold(): nothing draws in this mode

}  // namespace

uint8_t Step(bool up, int limit, uint8_t current, int delta) {
    if (up) {
        const int next = current + delta;
        return next < limit ? static_cast<uint8_t>(next) : 0;
    }
    const uint8_t next = static_cast<uint8_t>(current - delta);
    return next < limit ? next : static_cast<uint8_t>(limit - delta);
}

uint8_t decay_level(uint8_t level, bool mode0) {
    int step;
    if (level >= 128)
        step = 40;
    else if (level >= 64)
        step = 30;
    else if (level >= 32)
        step = 10;
    else if (level > 16)
        step = 8;
    else
        step = mode0 ? 4 : 1;
    return static_cast<uint8_t>(std::max(0, level - step));
}

LightEngine::LightEngine(size_t led_count, LightModel model) : model_(model), leds_(led_count) {
    pattern_[0] = 1;
}

void LightEngine::set_led_count(size_t count) {
    leds_.assign(count, LedColour{});
}

uint8_t LightEngine::level() const {
    return kBrightness[clamp4(settings_.light())];
}

uint8_t LightEngine::speed() const {
    return static_cast<uint8_t>(clamp4(settings_.speed()));
}

void LightEngine::fill(Rgb c, uint8_t lvl) {
    std::fill(leds_.begin(), leds_.end(), LedColour{c.r, c.g, c.b, lvl});
}

void LightEngine::apply_light_settings(const LightSettings& settings,
                                       const std::vector<LedZoneRecord>& zones,
                                       const std::vector<LightEffectStep>& steps, uint32_t now_ms) {
    if (settings.select_item() != settings_.select_item()) {
        levels_.fill(0);
        pattern_.fill(0);
        pattern_[0] = 1;
        group_runs_ = 0;
    }
    settings_ = settings;
    drawn_ = false;
    zone_records_ = zones;
    render_zones(zones, now_ms);
    steps_ = steps;
    step_index_ = 0;
    step_.began = now_ms;
}

int LightEngine::row_of_mode() const {
    switch (settings_.select_item()) {
        case kModeWave:
        case kModeRipple:
        case kModeSpectrum:
        case kModeGroupSpectrum:
        case kModeBreathing:
        case kModeStatic:
        case kModeOff6:
        case kModeOff7:
            return settings_.select_item();
        case kModeFourColourBreathing:
            return 4;
        case kModeFourColourBlink:
        case kModeBlink:
            return 12;
        case kModeFixedPattern:
            return 11;
        default:
            return -1;
    }
}

int LightEngine::threshold() const {
    const uint8_t mode = settings_.select_item();
    if (model_ == LightModel::mouse) {
        const int row = row_of_mode();
        return row < 0 ? kEveryPass : kThresholds[static_cast<size_t>(row)][speed()];
    }
    // The headset runs a speed past the table on every tick; the pad keeps to the table.
    if (model_ == LightModel::headset && settings_.speed() > 4 && mode <= kPadOff &&
        mode != kPadCustom)
        return 0;
    if (mode <= kPadBlink) return kThresholds[0][speed()];
    if (mode >= kPadLedSpectrum && mode <= kPadOff) return kThresholds[2][speed()];
    return model_ == LightModel::pad ? kEveryPass : kNoEffect;
}

bool LightEngine::zones_animate() const {
    for (size_t i = 0; i < zone_records_.size() && i < leds_.size(); ++i) {
        const LedZoneRecord& z = zone_records_[i];
        if (z.mode == 2 || ((z.mode == 0 || z.mode == 3) && z.present)) return true;
    }
    return false;
}

void LightEngine::tick(uint32_t now_ms) {
    const int t = threshold();
    if (t == kEveryPass) {
        run_step_player(now_ms);
        drawn_ = true;
        ++frames_;
    } else if (t != kNoEffect && ++counter_ >= t) {
        counter_ = 0;
        drawn_ = true;
        ++frames_;
        run_effect(now_ms);
    }
    // The pad's zones run after every pass, over whatever the effect drew.
    if (model_ == LightModel::pad && zones_animate()) {
        render_zones(zone_records_, now_ms);
        ++frames_;
    }
}

void LightEngine::run_effect(uint32_t now_ms) {
    if (model_ != LightModel::mouse) {
        switch (settings_.select_item()) {
            case kPadWave:
                render_wave(7);
                break;
            case kPadSpectrum:
                render_spectrum();
                break;
            case kPadBreathing:
                render_breathing(false);
                break;
            case kPadStatic:
                render_static();
                break;
            case kPadBlink:
                render_blink(false, now_ms);
                break;
            case kPadLedSpectrum:
                render_pad_led_spectrum();
                break;
            case kPadGroupSpectrum:
                render_pad_group_spectrum();
                break;
            default:
                render_off();
                break;
        }
        return;
    }
    switch (settings_.select_item()) {
        case kModeWave:
            render_wave();
            break;
        case kModeRipple:
            render_ripple();
            break;
        case kModeSpectrum:
            render_spectrum();
            break;
        case kModeGroupSpectrum:
            render_group_spectrum();
            break;
        case kModeBreathing:
            render_breathing(false);
            break;
        case kModeStatic:
            render_static();
            break;
        case kModeFourColourBreathing:
            render_breathing(true);
            break;
        case kModeFourColourBlink:
            render_blink(true, now_ms);
            break;
        case kModeFixedPattern:
            render_fixed_pattern();
            break;
        case kModeBlink:
            render_blink(false, now_ms);
            break;
        default:
            render_off();
            break;
    }
}

uint32_t LightEngine::ticks_until_change(uint32_t now_ms) const {
    if (model_ == LightModel::pad && zones_animate()) return 1;
    const int t = threshold();
    if (t == kNoEffect) return kNoChange;
    if (t == kEveryPass) return steps_.empty() && drawn_ ? kNoChange : 1;
    const uint32_t threshold = static_cast<uint32_t>(std::max(t, 1));
    const uint32_t first = counter_ < threshold ? threshold - counter_ : 1;
    const uint8_t mode = settings_.select_item();
    const bool still = model_ == LightModel::mouse
                           ? mode == kModeStatic || mode == kModeOff6 || mode == kModeOff7 ||
                                 mode == kModeFixedPattern
                           : mode == kPadStatic || mode == kPadOff;
    // The same frame every time: once drawn, only new settings change it.
    if (still) return drawn_ ? kNoChange : first;
    const bool blink = model_ == LightModel::mouse
                           ? mode == kModeBlink || mode == kModeFourColourBlink
                           : mode == kPadBlink;
    if (!blink) return first;
    // A blink frame only changes at a toggle: the first run at which the period is over.
    const uint32_t period = kBlinkPeriod[speed()] * kPeriodUnitMs;
    const uint32_t since = now_ms - last_toggle_;
    if (since >= period) return first;
    const uint32_t need = period - since;
    if (need <= first) return first;
    return first + (need - first + threshold - 1) / threshold * threshold;
}

void LightEngine::render_off() {
    fill({}, 0);
}

void LightEngine::render_static() {
    fill(settings_.multi_color() ? Rgb{0, 255, 0} : colour(), level());
}

void LightEngine::render_breathing(bool four_colour) {
    phase_ = Step(up(), 128, phase_, 1);
    const uint8_t count = four_colour ? 4 : 8;
    if (phase_ == 0) colour_index_ = static_cast<uint8_t>((colour_index_ + 1) % count);
    Rgb c = colour();
    if (four_colour)
        c = kPalette4[colour_index_ % 4];
    else if (settings_.multi_color())
        c = kPalette8[colour_index_ % 8];
    fill(c, scale(kBreathing[phase_], level()));
}

void LightEngine::render_spectrum() {
    phase_ = Step(up(), 192, phase_, 1);
    fill(kWheel[phase_], level());
}

void LightEngine::render_blink(bool four_colour, uint32_t now_ms) {
    if (now_ms - last_toggle_ >= kBlinkPeriod[speed()] * kPeriodUnitMs) {
        blink_on_ = !blink_on_;
        last_toggle_ = now_ms;
        if (four_colour) {
            colour_index_ = colour_index_ >= 3 ? 0 : static_cast<uint8_t>(colour_index_ + 1);
        } else {
            phase_ = static_cast<uint8_t>(phase_ + 16 > 191 ? 0 : phase_ + 16);
        }
    }
    if (!blink_on_) {
        render_off();
        return;
    }
    Rgb c = colour();
    if (four_colour)
        c = kPalette4[colour_index_ % 4];
    else if (settings_.multi_color())
        c = kWheel[phase_ % 192];
    fill(c, level());
}

void LightEngine::render_wave(size_t spacing) {
    const uint8_t lvl = level();
    if (!settings_.multi_color()) {
        phase_ = Step(up(), 96, phase_, 1);
        const Rgb c = colour();
        for (size_t i = 0; i < leds_.size(); ++i) {
            const size_t pos = (phase_ + 1 + spacing * i) % 96;
            leds_[i] = {c.r, c.g, c.b, scale(lvl, kWave[pos])};
        }
        return;
    }
    phase_ = Step(up(), 192, phase_, 1);
    for (size_t i = 0; i < leds_.size(); ++i) {
        const Rgb c = kWheel[(phase_ + 1 + spacing * i) % 192];
        leds_[i] = {c.r, c.g, c.b, lvl};
    }
}

void LightEngine::render_fixed_pattern() {
    const uint8_t lvl = level();
    for (size_t i = 0; i < leds_.size(); ++i) {
        const Rgb c = kFixedPattern[std::min<size_t>(i, 6)];
        leds_[i] = {c.r, c.g, c.b, lvl};
    }
}

void LightEngine::rotate_pattern() {
    if (settings_.fx() == 0)
        std::rotate(pattern_.rbegin(), pattern_.rbegin() + 1, pattern_.rend());
    else
        std::rotate(pattern_.begin(), pattern_.begin() + 1, pattern_.end());
}

void LightEngine::render_ripple() {
    rotate_pattern();
    const bool mode0 = settings_.select_item() == kModeWave;
    const uint8_t lvl = level();
    for (size_t i = 0; i < 8; ++i) {
        uint8_t l = levels_[i];
        // The fresher a level, the faster it fades first.
        if (l != 255) l = static_cast<uint8_t>(l - std::bit_width(l));
        l = decay_level(l, mode0);
        levels_[i] = l;
        if (i >= leds_.size()) continue;
        const Rgb c = settings_.multi_color() ? kPalette8[led_colour_index_[i] % 8] : colour();
        leds_[i] = {c.r, c.g, c.b, scale(lvl, l)};
    }
    mark_ = Step(settings_.fx() == 0, 8, mark_, 1);
    levels_[mark_] = 254;
    led_colour_index_[mark_] = colour_index_;
    if (levels_[7] == 254) colour_index_ = static_cast<uint8_t>((colour_index_ + 1) % 8);
}

void LightEngine::render_group_spectrum() {
    phase_ = Step(up(), 192, phase_, 1);
    for (size_t i = 0; i < 9; ++i)
        if (pattern_[i]) levels_[i] = 255;
    rotate_pattern();
    const bool mode0 = settings_.select_item() == kModeWave;
    const bool follow = follow_[up() ? 1 : 0];
    const uint8_t lvl = level();
    for (size_t g = 0; g < kLedGroups.size(); ++g) {
        levels_[g] = decay_level(levels_[g], mode0);
        phase_ = static_cast<uint8_t>((phase_ + 12) % 192);
        Rgb c = kWheel[phase_];
        const uint8_t first = kLedGroups[g][0];
        if (follow && first < leds_.size()) c = {leds_[first].r, leds_[first].g, leds_[first].b};
        const uint8_t l = scale(lvl, levels_[g]);
        for (uint8_t led : kLedGroups[g])
            if (led != 255 && led < leds_.size()) leds_[led] = {c.r, c.g, c.b, l};
    }
}

void LightEngine::render_group_levels(std::span<const std::array<uint8_t, 2>> groups, size_t span,
                                      bool higher) {
    phase_ = Step(up(), 192, phase_, 1);
    if (++group_runs_ >= 3) {
        group_runs_ = 1;
        // Every LED whose pattern byte is set lights up, not only the first nine.
        for (size_t i = 0; i < kPatternSize; ++i)
            if (pattern_[i]) levels_[i] = 255;
        span = std::min(span, kPatternSize);
        if (higher)
            std::rotate(pattern_.rbegin() + static_cast<ptrdiff_t>(kPatternSize - span),
                        pattern_.rbegin() + static_cast<ptrdiff_t>(kPatternSize - span) + 1,
                        pattern_.rend());
        else
            std::rotate(pattern_.begin(), pattern_.begin() + 1,
                        pattern_.begin() + static_cast<ptrdiff_t>(span));
    }
    const bool follow = follow_[up() ? 1 : 0];
    const uint8_t lvl = level();
    for (size_t g = 0; g < groups.size() && g < kLevelCount; ++g) {
        levels_[g] = decay_level(levels_[g], false);
        phase_ = static_cast<uint8_t>((phase_ + 12) % 192);
        Rgb c = settings_.multi_color() ? kWheel[phase_] : colour();
        const uint8_t first = groups[g][0];
        if (follow && first < leds_.size()) c = {leds_[first].r, leds_[first].g, leds_[first].b};
        const uint8_t l = scale(lvl, levels_[g]);
        for (uint8_t led : groups[g])
            if (led != 255 && led < leds_.size()) leds_[led] = {c.r, c.g, c.b, l};
    }
}

void LightEngine::render_pad_group_spectrum() {
    if (model_ == LightModel::headset) {
        render_group_levels(kHeadsetGroups, 8, settings_.fx() == 0);
        return;
    }
    render_group_levels(kPadPairs, 8, settings_.fx() == 0);
    // LED 0 belongs to no pair: dark, rather than what the previous effect left there.
    if (!leds_.empty()) leds_[0] = {};
}

void LightEngine::render_pad_led_spectrum() {
    render_group_levels(std::span(kSingleGroups).first(std::min(leds_.size(), kLevelCount)),
                        kPatternSize, settings_.fx() != 0);
}

void LightEngine::run_step_player(uint32_t now_ms) {
    if (step_index_ >= steps_.size()) step_index_ = 0;
    if (steps_.empty()) {
        render_off();
        return;
    }
    const LightEffectStep s = steps_[step_index_];
    ++step_.counter;
    const size_t sp = clamp4(s.speed);
    const uint8_t lvl = kBrightness[clamp4(s.brightness)];
    const bool up = s.direction != 0;
    const Rgb own{s.red, s.green, s.blue};
    auto due = [&](size_t row) {
        if (step_.counter < kThresholds[row][sp]) return false;
        step_.counter = 0;
        return true;
    };
    switch (s.mode) {
        case 0:  // breathing; with several colours the wheel moves on by an eighth per breath
            if (due(4)) {
                step_.phase = Step(up, 128, step_.phase, 1);
                if (step_.phase == 0)
                    step_.colour_index = static_cast<uint8_t>((step_.colour_index + 24) % 192);
                fill(s.multi_color ? kWheel[step_.colour_index % 192] : own,
                     scale(kBreathing[step_.phase], lvl));
            }
            break;
        case 1:
            if (due(5)) fill(own, lvl);
            break;
        case 2:
            step_.phase = Step(up, 192, step_.phase, 1);
            due(12);
            if (now_ms - step_.last_toggle >= kBlinkPeriod[sp] * kPeriodUnitMs) {
                step_.blink_on = !step_.blink_on;
                step_.last_toggle = now_ms;
            }
            if (step_.blink_on)
                fill(s.multi_color ? kWheel[step_.phase] : own, lvl);
            else
                render_off();
            break;
        case 4:  // the wheel with several colours, else the step's colour over the wave curve
            if (due(4)) {
                step_.phase = Step(up, 192, step_.phase, 1);
                for (size_t i = 0; i < leds_.size(); ++i) {
                    const size_t pos = (step_.phase + 1 + 12 * i) % 192;
                    const Rgb c = s.multi_color ? kWheel[pos] : own;
                    const uint8_t l = s.multi_color ? lvl : scale(lvl, kWave[pos % 96]);
                    leds_[i] = {c.r, c.g, c.b, l};
                }
            }
            break;
        case 5:
            if (due(2)) {
                step_.phase = Step(up, 192, step_.phase, 1);
                fill(kWheel[step_.phase], lvl);
            }
            break;
        case 11:
            if (due(11)) fill(own, lvl);
            break;
        default:
            break;
    }
    if (step_.counter == 255) step_.counter = 0;
    if (now_ms - step_.began > s.time) {
        step_index_ = (step_index_ + 1) % steps_.size();
        step_.began = now_ms;
    }
}

void LightEngine::render_zones(const std::vector<LedZoneRecord>& zones, uint32_t now_ms) {
    zones_.resize(zones.size());
    for (size_t i = 0; i < zones.size() && i < leds_.size(); ++i) {
        const LedZoneRecord& z = zones[i];
        ZoneState& st = zones_[i];
        const size_t sp = clamp4(z.speed);
        const uint8_t lvl = kBrightness[clamp4(z.brightness)];
        const Rgb own{z.red, z.green, z.blue};
        auto pick = [&]() { return z.multi_color ? kWheel[st.wheel % 192] : own; };
        switch (z.mode) {
            case 0:  // a breath per 128 phases; the wheel moves one place per breath
                if (!z.present) break;
                st.phase = static_cast<uint8_t>(st.phase + 4 + sp);
                if (st.phase > 127) {
                    st.phase = 0;
                    st.wheel = st.wheel >= 191 ? 0 : static_cast<uint8_t>(st.wheel + 1);
                }
                {
                    const Rgb c = pick();
                    leds_[i] = {c.r, c.g, c.b, scale(lvl, kBreathing[st.phase])};
                }
                break;
            case 2:
                if (now_ms - st.last_toggle >= kBlinkPeriod[sp] * kPeriodUnitMs) {
                    st.blink_on = !st.blink_on;
                    st.last_toggle = now_ms;
                    st.wheel = static_cast<uint8_t>((st.wheel + 14) % 192);
                }
                if (st.blink_on) {
                    const Rgb c = pick();
                    leds_[i] = {c.r, c.g, c.b, lvl};
                } else {
                    leds_[i] = {};
                }
                break;
            case 3:
                if (!z.present) break;
                if (++st.counter >= kThresholds[4][sp]) {
                    st.counter = 0;
                    st.wheel = static_cast<uint8_t>((st.wheel + 1) % 192);
                }
                {
                    const Rgb c = pick();
                    leds_[i] = {c.r, c.g, c.b, lvl};
                }
                break;
            default:
                break;
        }
    }
}

}  // namespace tellune::device
