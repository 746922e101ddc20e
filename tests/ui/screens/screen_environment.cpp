// One QApplication for the geometry tests, on the offscreen platform with a screen per size.

#include "screen_environment.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QScreen>
#include <QTemporaryDir>
#include <QtGlobal>
#include <memory>

namespace tellune::ui::test {

QString ScreenSpec::name() const {
    return QStringLiteral("%1x%2@%3").arg(width).arg(height).arg(ratio);
}

const std::vector<ScreenSpec>& screen_specs() {
    static const std::vector<ScreenSpec> specs = {
        {1280, 720, 1},  {1280, 720, 2},  {1366, 768, 1},  {1366, 768, 2},
        {1920, 1080, 1}, {1920, 1080, 2}, {3840, 2160, 1}, {3840, 2160, 2},
    };
    return specs;
}

QScreen* screen_for(const ScreenSpec& spec) {
    for (QScreen* s : QGuiApplication::screens())
        if (s->name() == spec.name()) return s;
    return nullptr;
}

namespace {

QtMessageHandler previous_handler = nullptr;

void quiet_handler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (message.contains(QLatin1String("propagateSizeHints")) ||
        message.contains(QLatin1String("does not support raise")))
        return;
    if (previous_handler) previous_handler(type, context, message);
}

class ScreenEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        // The offscreen platform takes sizes in logical pixels and renders at "dpr", as
        // platforms with a pixel ratio of their own do. Side by side, a gap between them.
        QJsonArray screens;
        int x = 0;
        for (const ScreenSpec& spec : screen_specs()) {
            screens.append(QJsonObject{{"name", spec.name()},
                                       {"x", x},
                                       {"y", 0},
                                       {"width", spec.width},
                                       {"height", spec.height},
                                       {"logicalDpi", 96},
                                       {"logicalBaseDpi", 96},
                                       {"dpr", spec.ratio}});
            x += 10000;
        }
        ASSERT_TRUE(dir_.isValid());
        const QString config = dir_.filePath("screens.json");
        QFile file(config);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QJsonDocument(QJsonObject{{"screens", screens}}).toJson());
        file.close();
        qputenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + config).toLocal8Bit());
        static int argc = 1;
        static char name[] = "tellune_ui_screen_tests";
        static char* argv[] = {name, nullptr};
        app_ = std::make_unique<QApplication>(argc, argv);
        previous_handler = qInstallMessageHandler(quiet_handler);
    }
    void TearDown() override { app_.reset(); }

private:
    QTemporaryDir dir_;
    std::unique_ptr<QApplication> app_;
};

[[maybe_unused]] auto* const environment =
    ::testing::AddGlobalTestEnvironment(new ScreenEnvironment);

}  // namespace
}  // namespace tellune::ui::test
