// One QApplication for the whole test program, made before the first test.

#include <gtest/gtest.h>

#include <QApplication>
#include <memory>

namespace {

QtMessageHandler previous_handler = nullptr;

// The offscreen platform warns about every window it cannot size natively.
void quiet_handler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (message.contains(QLatin1String("propagateSizeHints"))) return;
    if (previous_handler) previous_handler(type, context, message);
}

class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "tellune_ui_tests";
        static char* argv[] = {name, nullptr};
        app_ = std::make_unique<QApplication>(argc, argv);
        previous_handler = qInstallMessageHandler(quiet_handler);
    }
    void TearDown() override { app_.reset(); }

private:
    std::unique_ptr<QApplication> app_;
};

[[maybe_unused]] auto* const environment = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

}  // namespace
