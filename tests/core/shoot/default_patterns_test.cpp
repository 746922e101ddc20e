// The shipped recoil patterns: complete, in the bullet layout, plausible, and installed into a
// fresh data folder.

#include <gtest/gtest.h>

#include <filesystem>

#include "core/device/macro_image.h"
#include "core/profile/json_file.h"
#include "core/shoot/shoot_data.h"
#include "test_support/temp_dir.h"

namespace tellune::shoot {
namespace {

std::string shipped() {
    return std::string(TELLUNE_SOURCE_DIR) + "/DefaultData/";
}

TEST(DefaultPatterns, ThirtyWholeBulletsPullingDown) {
    for (int g = 0; g < kGuns; ++g) {
        SCOPED_TRACE(g);
        JsonFileState state;
        const Json::Value doc = read_json(shipped() + shoot_file_name(g), &state);
        ASSERT_EQ(state, JsonFileState::kRead);
        ASSERT_TRUE(is_shoot_document(doc));
        const Json::Value& events = doc["Events"];
        ASSERT_EQ(events.size(), Json::ArrayIndex(kBullets * kEventsPerBullet));
        int total_down = 0;
        for (int b = 0; b < kBullets; ++b) {
            const Bullet bullet = read_bullet(doc, b);
            // Written back through the editor's writer, the bullet is the same six events.
            Json::Value copy(Json::objectValue);
            write_bullet(copy, b, bullet);
            for (int i = 0; i < kEventsPerBullet; ++i)
                EXPECT_EQ(copy["Events"][kEventsPerBullet * b + i],
                          events[kEventsPerBullet * b + i])
                    << "bullet " << b << " event " << i;
            EXPECT_FALSE(bullet.up) << b;  // a pull down against the climb
            EXPECT_GE(bullet.y, 1) << b;
            EXPECT_LE(bullet.y, 20) << b;
            EXPECT_LE(bullet.x, 3) << b;  // small drift
            EXPECT_GE(bullet.pause, 40) << b;
            EXPECT_LE(bullet.pause, 250) << b;
            if (b > 0) {
                EXPECT_LE(bullet.y, read_bullet(doc, b - 1).y) << b;  // tapering
            }
            total_down += bullet.y;
        }
        EXPECT_GT(total_down, 90);
    }
}

TEST(DefaultPatterns, FreshFolderGetsTheShippedFiles) {
    TempDir dir;
    ShootData shoot(dir.file("mouse"), shipped());
    std::filesystem::create_directories(dir.file("mouse"));
    EXPECT_EQ(shoot.install_defaults(), kGuns);
    // What the mouse is sent: four records of 180 events.
    const auto slots = device::load_shoot_slots(dir.file("mouse"));
    ASSERT_EQ(slots.size(), size_t(kGuns));
    for (const auto& slot : slots) EXPECT_EQ(slot.size(), size_t(kBullets * kEventsPerBullet));
    EXPECT_EQ(device::macro_image_size(slots), 16u + 24u + 4u * 4u * 180u);
}

}  // namespace
}  // namespace tellune::shoot
