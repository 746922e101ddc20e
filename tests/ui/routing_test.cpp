#include "ui/app/routing.h"

#include <gtest/gtest.h>

#include <QStringList>
#include <vector>

namespace tellune::ui {
namespace {

Notification named(const QString& name) {
    return Notification{"click", name, nullptr};
}

TEST(RoutingTest, PrefixGivesTheIndexAfterIt) {
    EXPECT_EQ(RouteTable::index_after_prefix("DPI_slider_3", "DPI_slider_"), 3);
    EXPECT_EQ(RouteTable::index_after_prefix("dpi_SLIDER_12", "DPI_slider_"), 12);
    EXPECT_EQ(RouteTable::index_after_prefix("6533_eq_hz_slider_0", "6533_eq_hz_slider_"), 0);
    EXPECT_EQ(RouteTable::index_after_prefix("DPI_slider_", "DPI_slider_"), std::nullopt);
    EXPECT_EQ(RouteTable::index_after_prefix("DPI_slider_3a", "DPI_slider_"), std::nullopt);
    EXPECT_EQ(RouteTable::index_after_prefix("DPI_slider_-1", "DPI_slider_"), std::nullopt);
    EXPECT_EQ(RouteTable::index_after_prefix("pomex_DPI_slider_3", "DPI_slider_"), std::nullopt);
    EXPECT_EQ(RouteTable::index_after_prefix("key_999999999", "key_"), 999999999);
    // Too long to be an index of ours: refused rather than overflowed.
    EXPECT_EQ(RouteTable::index_after_prefix("key_99999999999", "key_"), std::nullopt);
}

TEST(RoutingTest, FirstMatchWinsWithCaseRules) {
    RouteTable table;
    std::vector<std::pair<QString, int>> calls;
    auto record = [&](const QString& tag) {
        return [&calls, tag](const Notification&, int index) { calls.emplace_back(tag, index); };
    };
    table.add("profile_fun_spread_btn", Match::Exact, record("spread"));
    table.add("macro_inset_moveleftkey_btn", Match::Exact, record("left"));
    table.add("closebtn", Match::NoCase, record("close"));
    table.add("key_", Match::Prefix, record("key"));
    table.add("key_butt_keysave", Match::NoCase, record("keysave"));

    EXPECT_TRUE(table.dispatch(named("CloseBtn")));
    EXPECT_TRUE(table.dispatch(named("key_17")));
    EXPECT_TRUE(table.dispatch(named("profile_fun_spread_btn")));
    EXPECT_FALSE(table.dispatch(named("Profile_Fun_Spread_Btn")));  // exact case only
    EXPECT_FALSE(table.dispatch(named("MACRO_INSET_MOVELEFTKEY_BTN")));
    EXPECT_TRUE(table.dispatch(named("macro_inset_moveleftkey_btn")));
    // "key_butt_keysave" is not "key_" + digits, so the prefix entry lets it through.
    EXPECT_TRUE(table.dispatch(named("KEY_BUTT_KEYSAVE")));
    EXPECT_FALSE(table.dispatch(named("unknown_btn")));
    EXPECT_FALSE(table.dispatch(named("")));

    const std::vector<std::pair<QString, int>> expected = {
        {"close", -1}, {"key", 17}, {"spread", -1}, {"left", -1}, {"keysave", -1}};
    EXPECT_EQ(calls, expected);
}

TEST(RoutingTest, AddFrontOverridesAndHandlersMayExtendTheTable) {
    RouteTable table;
    int shell = 0, page = 0, added = 0;
    table.add("default_btn", Match::NoCase, [&](const Notification&, int) {
        ++shell;
        // Growing the table from inside a handler must not invalidate the running one.
        for (int i = 0; i < 64; ++i)
            table.add(QString("late_%1").arg(i), Match::NoCase,
                      [&](const Notification&, int) { ++added; });
    });
    EXPECT_TRUE(table.dispatch(named("default_btn")));
    table.add_front("DEFAULT_BTN", Match::NoCase, [&](const Notification&, int) { ++page; });
    EXPECT_TRUE(table.dispatch(named("default_btn")));
    EXPECT_TRUE(table.dispatch(named("late_63")));
    EXPECT_EQ(shell, 1);
    EXPECT_EQ(page, 1);
    EXPECT_EQ(added, 1);
    EXPECT_EQ(table.match("late_0"), -1);
    EXPECT_EQ(table.match("nothing"), std::nullopt);
}

TEST(RoutingTest, FiltersDeclineToTheNextMatch) {
    RouteTable table;
    QStringList calls;
    bool keyboard_shown = false;
    table.add("polling_rate_option_", Match::Prefix,
              [&](const Notification&, int n) { calls << QString("mouse %1").arg(n); });
    table.add_filter_front("polling_rate_option_", Match::Prefix, [&](const Notification&, int n) {
        if (!keyboard_shown) return false;
        calls << QString("keyboard %1").arg(n);
        return true;
    });
    // A filter that always declines and grows the table: later entries are still found.
    table.add_filter_front("key_", Match::Prefix, [&](const Notification&, int) {
        table.add("late", Match::NoCase, [&](const Notification&, int) { calls << "late"; });
        return false;
    });
    EXPECT_TRUE(table.dispatch(named("polling_rate_option_2")));
    keyboard_shown = true;
    EXPECT_TRUE(table.dispatch(named("polling_rate_option_3")));
    // Every matching entry declined: not handled.
    EXPECT_FALSE(table.dispatch(named("key_4")));
    EXPECT_TRUE(table.dispatch(named("late")));
    EXPECT_EQ(calls, (QStringList{"mouse 2", "keyboard 3", "late"}));
}

}  // namespace
}  // namespace tellune::ui
