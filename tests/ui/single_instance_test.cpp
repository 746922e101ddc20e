#include "ui/app/single_instance.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QLocalSocket>
#include <QSignalSpy>
#include <QTest>
#include <memory>

#include "test_support/temp_dir.h"

namespace tellune::ui {
namespace {

class SingleInstanceTest : public ::testing::Test {
protected:
    QString path(const char* name) const {
        return QString::fromStdString(dir_.path().string()) + "/" + name;
    }
    std::unique_ptr<SingleInstance> make() {
        return std::make_unique<SingleInstance>(path("tellune.lock"), path("tellune.socket"));
    }
    TempDir dir_;
};

TEST_F(SingleInstanceTest, SecondStartHandsOverToTheRunningOne) {
    auto first = make();
    QSignalSpy shown(first.get(), &SingleInstance::show_requested);
    ASSERT_EQ(first->claim(), SingleInstance::Result::First);

    auto second = make();
    EXPECT_EQ(second->claim(), SingleInstance::Result::HandedOver);
    EXPECT_TRUE(shown.wait(2000));
    EXPECT_EQ(shown.count(), 1);

    // Once the first one is gone, the next start runs the program itself.
    second.reset();
    first.reset();
    auto third = make();
    EXPECT_EQ(third->claim(), SingleInstance::Result::First);
}

TEST_F(SingleInstanceTest, LeftoverSocketFileDoesNotBlockTheNextStart) {
    {
        QFile stale(path("tellune.socket"));
        ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    }
    auto first = make();
    QSignalSpy shown(first.get(), &SingleInstance::show_requested);
    ASSERT_EQ(first->claim(), SingleInstance::Result::First);
    auto second = make();
    EXPECT_EQ(second->claim(), SingleInstance::Result::HandedOver);
    EXPECT_TRUE(shown.wait(2000));
}

TEST_F(SingleInstanceTest, ForeignClientsDoNotRaiseTheWindow) {
    auto first = make();
    QSignalSpy shown(first.get(), &SingleInstance::show_requested);
    ASSERT_EQ(first->claim(), SingleInstance::Result::First);
    QLocalSocket client;
    client.connectToServer(path("tellune.socket"));
    ASSERT_TRUE(client.waitForConnected(1000));
    client.write(QByteArray(4096, 'x'));
    client.waitForBytesWritten(1000);
    EXPECT_FALSE(shown.wait(300));
    EXPECT_EQ(shown.count(), 0);
}

}  // namespace
}  // namespace tellune::ui
