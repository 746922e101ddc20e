// The key button and the selection panel of the device pictures.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cstdlib>

#include "test_support/wait.h"
#include "ui/controls/device_key_button.h"
#include "ui/controls/select_panel.h"

namespace tellune::ui {
namespace {

void send_mouse(QWidget* w, QEvent::Type type, QPoint pos) {
    const Qt::MouseButtons held =
        type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent e(type, QPointF(pos), w->mapToGlobal(QPointF(pos)), Qt::LeftButton, held,
                  Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

void drag(QWidget* w, QPoint from, QPoint to) {
    send_mouse(w, QEvent::MouseButtonPress, from);
    send_mouse(w, QEvent::MouseMove, (from + to) / 2);
    send_mouse(w, QEvent::MouseMove, to);
    send_mouse(w, QEvent::MouseButtonRelease, to);
}

class SelectPanelTest : public ::testing::Test {
protected:
    void SetUp() override {
        panel_.resize(200, 100);
        // Four 10x10 buttons on a row at x = 10, 30, 50, 70.
        for (int i = 0; i < 4; ++i) {
            auto* b = new CDeviceKeyButtonUI(&panel_);
            b->setObjectName(QString("key_%1").arg(i));
            b->setGeometry(10 + 20 * i, 10, 10, 10);
            keys_.push_back(b);
        }
    }
    std::vector<bool> marks() const {
        std::vector<bool> out;
        for (auto* k : keys_) out.push_back(k->IsPanelSelected());
        return out;
    }

    CSelectPanelUI panel_;
    std::vector<CDeviceKeyButtonUI*> keys_;
};

TEST_F(SelectPanelTest, DragMarksButtonsSharingAreaInEitherDirection) {
    QSignalSpy notes(&panel_, &CSelectPanelUI::controlNotify);
    // From the middle of key 1 to the middle of key 2.
    drag(&panel_, {35, 15}, {55, 18});
    EXPECT_EQ(marks(), (std::vector<bool>{false, true, true, false}));
    ASSERT_EQ(notes.count(), 1);
    EXPECT_EQ(notes.at(0).at(0).toString(), "click_select_end");
    EXPECT_FALSE(panel_.IsArmed());
    EXPECT_FALSE(panel_.IsDragging());

    // The same rectangle spanned right to left and bottom to top.
    for (auto* k : keys_) k->SetPanelSelected(false);
    drag(&panel_, {55, 18}, {35, 15});
    EXPECT_EQ(marks(), (std::vector<bool>{false, true, true, false}));
    const SelectionRect r = panel_.Selection();
    EXPECT_EQ(r.left, 35);
    EXPECT_EQ(r.top, 15);
    EXPECT_EQ(r.right, 55);
    EXPECT_EQ(r.bottom, 18);

    // A new drag replaces the marks: key 0 only.
    drag(&panel_, {0, 0}, {12, 30});
    EXPECT_EQ(marks(), (std::vector<bool>{true, false, false, false}));
    EXPECT_EQ(notes.count(), 3);
}

TEST_F(SelectPanelTest, TouchingAnEdgeIsNotSharingArea) {
    // Key 1 covers x 30..39. A selection ending at x = 30 only touches its left edge, one
    // starting at x = 40 only its right edge.
    drag(&panel_, {21, 0}, {30, 40});
    EXPECT_EQ(marks(), (std::vector<bool>{false, false, false, false}));
    drag(&panel_, {40, 0}, {49, 40});
    EXPECT_EQ(marks(), (std::vector<bool>{false, false, false, false}));
    // One pixel further in is a shared area.
    drag(&panel_, {21, 0}, {31, 40});
    EXPECT_EQ(marks(), (std::vector<bool>{false, true, false, false}));
    // Above the row, ending at its top edge.
    drag(&panel_, {0, 0}, {199, 10});
    EXPECT_EQ(marks(), (std::vector<bool>{false, false, false, false}));
}

TEST_F(SelectPanelTest, ClickWithoutMovementSelectsAndSendsNothing) {
    keys_[2]->SetPanelSelected(true);
    QSignalSpy notes(&panel_, &CSelectPanelUI::controlNotify);
    send_mouse(&panel_, QEvent::MouseButtonPress, {35, 15});
    EXPECT_TRUE(panel_.IsArmed());
    send_mouse(&panel_, QEvent::MouseButtonRelease, {35, 15});
    EXPECT_FALSE(panel_.IsArmed());
    EXPECT_EQ(notes.count(), 0);
    EXPECT_EQ(marks(), (std::vector<bool>{false, false, true, false}));
    // A move without a press does not start a drag either.
    send_mouse(&panel_, QEvent::MouseMove, {80, 80});
    send_mouse(&panel_, QEvent::MouseButtonRelease, {80, 80});
    EXPECT_EQ(notes.count(), 0);
}

TEST_F(SelectPanelTest, OnlyDirectKeyButtonChildrenAreMarked) {
    auto* label = new QLabel("not a key", &panel_);
    label->setGeometry(10, 40, 30, 10);
    auto* inner = new QWidget(&panel_);
    inner->setGeometry(100, 10, 60, 60);
    auto* nested = new CDeviceKeyButtonUI(inner);
    nested->setGeometry(0, 0, 10, 10);
    drag(&panel_, {0, 0}, {199, 99});
    EXPECT_EQ(marks(), (std::vector<bool>{true, true, true, true}));
    EXPECT_FALSE(nested->IsPanelSelected());
    EXPECT_FALSE(label->property("panelselected").isValid());
}

TEST_F(SelectPanelTest, ADragMayStartOnAKeyButton) {
    // The key grabs the mouse when pressed; its events count for the panel too.
    QSignalSpy notes(&panel_, &CSelectPanelUI::controlNotify);
    QSignalSpy clicks(keys_[1], &QAbstractButton::clicked);
    send_mouse(keys_[1], QEvent::MouseButtonPress, {5, 5});  // (35, 15) on the panel
    EXPECT_TRUE(panel_.IsArmed());
    send_mouse(keys_[1], QEvent::MouseMove, {25, 8});
    send_mouse(keys_[1], QEvent::MouseButtonRelease, {25, 8});  // over key 2: no click
    EXPECT_EQ(marks(), (std::vector<bool>{false, true, true, false}));
    EXPECT_EQ(notes.count(), 1);
    EXPECT_EQ(clicks.count(), 0);
    // A click on a key is the key's: nothing is selected, nothing announced.
    send_mouse(keys_[3], QEvent::MouseButtonPress, {5, 5});
    send_mouse(keys_[3], QEvent::MouseButtonRelease, {5, 5});
    EXPECT_EQ(marks(), (std::vector<bool>{false, true, true, false}));
    EXPECT_EQ(notes.count(), 1);
    // A key of another panel inside this one is not watched.
    auto* inner = new CSelectPanelUI(&panel_);
    auto* nested = new CDeviceKeyButtonUI(inner);
    send_mouse(nested, QEvent::MouseButtonPress, {1, 1});
    EXPECT_FALSE(panel_.IsArmed());
    EXPECT_TRUE(inner->IsArmed());
}

TEST_F(SelectPanelTest, DisabledPanelDoesNotArm) {
    panel_.setEnabled(false);
    QSignalSpy notes(&panel_, &CSelectPanelUI::controlNotify);
    drag(&panel_, {0, 0}, {199, 99});
    EXPECT_EQ(notes.count(), 0);
    EXPECT_EQ(marks(), (std::vector<bool>{false, false, false, false}));
}

TEST_F(SelectPanelTest, ButtonsScaleWithThePanelFromTheirDesignPlaces) {
    panel_.show();  // a hidden widget gets its resize events only when shown
    panel_.set_design_size(QSize(200, 100));
    panel_.resize(300, 150);
    EXPECT_EQ(keys_[1]->geometry(), QRect(45, 15, 15, 15));
    panel_.resize(200, 100);
    panel_.resize(300, 150);  // no drift over repeated resizes
    EXPECT_EQ(keys_[1]->geometry(), QRect(45, 15, 15, 15));
    panel_.resize(200, 100);
    EXPECT_EQ(keys_[1]->geometry(), QRect(30, 10, 10, 10));
}

TEST(SelectPanelShape, KeepsItsShapeWhenGivenLessWidth) {
    CSelectPanelUI panel;
    panel.set_design_size(QSize(992, 292));
    EXPECT_FALSE(panel.hasHeightForWidth());  // only when asked to
    panel.set_keep_aspect(true);
    EXPECT_TRUE(panel.hasHeightForWidth());
    EXPECT_TRUE(panel.sizePolicy().hasHeightForWidth());
    EXPECT_EQ(panel.sizeHint(), QSize(992, 292));
    EXPECT_EQ(panel.heightForWidth(496), 146);
    EXPECT_EQ(panel.heightForWidth(640), 188);
    panel.set_design_size({});
    EXPECT_FALSE(panel.hasHeightForWidth());
}

// What the window really shows, read back from its backing store: a button the panel draws
// has to be repainted through the panel, or the screen keeps the old colour.
QColor on_screen(QWidget& window, QPoint at) {
    const QImage shown = window.screen()->grabWindow(window.winId()).toImage();
    return shown.pixelColor(at * shown.devicePixelRatio());
}

TEST(SelectPanelDrawing, LoneButtonsAreDrawnByThePanelAndStillRepaint) {
    QWidget window;
    window.resize(120, 60);
    auto* panel = new CSelectPanelUI(&window);
    panel->setGeometry(0, 0, 120, 60);
    panel->set_fill_colour("#000000");
    auto* led = new CDeviceKeyButtonUI(panel);
    led->setStyleSheet("QPushButton { background: black; border: none; }");
    led->setGeometry(10, 10, 30, 30);
    auto* lower = new CDeviceKeyButtonUI(panel);  // these two overlap: Qt keeps their order
    lower->setGeometry(60, 10, 30, 30);
    auto* upper = new CDeviceKeyButtonUI(panel);
    upper->setGeometry(80, 10, 30, 30);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_TRUE(led->drawn_by_panel());
    EXPECT_FALSE(led->updatesEnabled());
    EXPECT_FALSE(lower->drawn_by_panel());
    EXPECT_FALSE(upper->drawn_by_panel());

    const QPoint centre(25, 25);
    led->SetLightOverlay(0x0000FF, 255, true);  // red
    ASSERT_SOON(on_screen(window, centre).red() > 200, 2000);
    EXPECT_LT(on_screen(window, centre).blue(), 40);
    led->SetLightOverlay(0xFF0000, 255, true);  // blue
    ASSERT_SOON(on_screen(window, centre).blue() > 200, 2000);
    EXPECT_LT(on_screen(window, centre).red(), 40);
    led->SetLightOverlay(0xFF0000, 255, false);
    ASSERT_SOON(on_screen(window, centre).blue() < 40, 2000);

    // Hidden, shown and moved, it is drawn where it is and nowhere else.
    const QColor panel_colour(0, 0, 0);
    led->setStyleSheet("QPushButton { background: white; border: none; }");
    ASSERT_SOON(on_screen(window, centre).red() > 200, 2000);
    led->hide();
    ASSERT_SOON(on_screen(window, centre) == panel_colour, 2000);
    led->show();
    ASSERT_SOON(on_screen(window, centre).red() > 200, 2000);
    led->move(10, 25);  // still alone on the panel
    ASSERT_SOON(on_screen(window, QPoint(25, 15)) == panel_colour, 2000);
    ASSERT_SOON(on_screen(window, QPoint(25, 45)).red() > 200, 2000);
    led->setStyleSheet("QPushButton { background: black; border: none; }");

    // Moved onto another button, it becomes a widget of its own again.
    panel->set_design_size({});
    led->setGeometry(70, 10, 30, 30);
    panel->resize(121, 60);  // the panel looks at its buttons again when it is laid out
    EXPECT_FALSE(led->drawn_by_panel());
    EXPECT_TRUE(led->updatesEnabled());
    led->SetLightOverlay(0x00FF00, 255, true);  // green
    ASSERT_SOON(on_screen(window, QPoint(85, 25)).green() > 200, 2000);
}

TEST(SelectPanelDrawing, KeysOnAnOpaquePictureLookAsIfPaintedOverIt) {
    // The panel draws its keys as opaque copies with the picture under them worked in.
    // They must look as a key painted over the picture does: over flat stripes (few
    // shades), over a gradient (too many for the shade index), with the keyset image (drawn
    // by a painter), and after a key moved onto other stripes.
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    QImage stripes(240, 80, QImage::Format_RGB32);
    for (int x = 0; x < 240; ++x)
        for (int y = 0; y < 80; ++y)
            stripes.setPixel(x, y,
                             x >= 160 ? qRgb(x, 255 - 3 * y, 90)
                                      : (x / 7 % 3 == 0 ? qRgb(200, 40, 40)
                                                        : (x / 7 % 3 == 1 ? qRgb(30, 30, 160)
                                                                          : qRgb(240, 240, 240))));
    const QString picture_file = folder.filePath("picture.png");
    ASSERT_TRUE(stripes.save(picture_file));
    QImage keyset(40, 40, QImage::Format_ARGB32_Premultiplied);
    keyset.fill(Qt::transparent);
    for (int i = 5; i < 35; ++i) keyset.setPixel(i, i, qRgba(0, 200, 0, 255));
    const QString keyset_file = folder.filePath("keyset.png");
    ASSERT_TRUE(keyset.save(keyset_file));

    QWidget window;
    window.resize(240, 80);
    auto* panel = new CSelectPanelUI(&window);
    panel->setGeometry(0, 0, 240, 80);
    panel->set_fill_colour("#101010");
    panel->set_picture(picture_file);
    const QString look =
        "QPushButton { background: rgba(20, 20, 20, 200); border: 2px solid #909090; "
        "border-radius: 9px; color: white; }";
    struct Key {
        CDeviceKeyButtonUI* key;
        uint32_t colour;
        int level;
        bool keyset;
    };
    std::vector<Key> keys{{nullptr, 0x0000FF, 180, false},
                          {nullptr, 0x00FF00, 255, false},
                          {nullptr, 0xFF8000, 120, true}};
    const QPoint places[] = {{10, 20}, {170, 20}, {90, 20}};
    for (size_t i = 0; i < keys.size(); ++i) {
        Key& k = keys[i];
        k.key = new CDeviceKeyButtonUI(panel);
        k.key->setStyleSheet(look);
        k.key->setText("Q");
        k.key->set_edge_glow(true);
        k.key->set_keyset_image(keyset_file);
        k.key->SetKeysetImageHidden(!k.keyset);
        k.key->setGeometry(QRect(places[i], QSize(40, 40)));
        k.key->SetLightOverlay(k.colour, k.level, true);
    }
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    for (const Key& k : keys) ASSERT_TRUE(k.key->drawn_by_panel());

    // The same key standing alone, laid over the picture by Qt.
    const auto expected = [&] {
        QImage out = stripes.copy();
        QPainter painter(&out);
        for (const Key& k : keys) {
            CDeviceKeyButtonUI alone;
            alone.setStyleSheet(look);
            alone.setText("Q");
            alone.set_edge_glow(true);
            alone.set_keyset_image(keyset_file);
            alone.SetKeysetImageHidden(!k.keyset);
            alone.resize(40, 40);
            alone.SetLightOverlay(k.colour, k.level, true);
            QImage drawn(40, 40, QImage::Format_ARGB32_Premultiplied);
            drawn.fill(Qt::transparent);
            alone.render(&drawn, {}, {}, QWidget::DrawChildren);  // no window background
            painter.drawImage(k.key->pos(), drawn);
        }
        return out;
    };
    const auto worst_difference = [](const QImage& a, const QImage& b) {
        int worst = 0;
        for (int y = 0; y < a.height(); ++y)
            for (int x = 0; x < a.width(); ++x) {
                const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
                worst = std::max({worst, std::abs(qRed(p) - qRed(q)),
                                  std::abs(qGreen(p) - qGreen(q)), std::abs(qBlue(p) - qBlue(q))});
            }
        return worst;
    };
    // Two roundings against Qt's one or two: a step or two apart at most.
    EXPECT_LE(
        worst_difference(panel->grab().toImage().convertToFormat(QImage::Format_RGB32), expected()),
        2);
    keys[0].key->move(24, 20);  // other stripes under it now
    EXPECT_LE(
        worst_difference(panel->grab().toImage().convertToFormat(QImage::Format_RGB32), expected()),
        2);
}

TEST(DeviceKeyButtonTest, EdgeGlowKeepsTheLegendReadable) {
    // The same red LED drawn as a solid glow and as an edge glow: the edge glow lights the
    // rim fully and the middle, where the legend is, only faintly.
    QWidget window;
    window.resize(100, 50);
    auto make = [&window](int x, bool edge) {
        auto* key = new CDeviceKeyButtonUI(&window);
        key->setStyleSheet("QPushButton { background: black; border: none; }");
        key->setGeometry(x, 5, 40, 40);
        key->set_edge_glow(edge);
        key->SetLightOverlay(0x0000FF, 255, true);
        return key;
    };
    CDeviceKeyButtonUI* solid = make(0, false);
    CDeviceKeyButtonUI* edge = make(50, true);
    EXPECT_TRUE(edge->edge_glow());
    const QImage a = solid->grab().toImage(), b = edge->grab().toImage();
    const QPoint middle(20, 20), rim(2, 20);
    EXPECT_GT(a.pixelColor(middle).red(), 200);
    EXPECT_LT(b.pixelColor(middle).red(), 100);
    EXPECT_GT(b.pixelColor(middle).red(), 30);  // lit a little
    EXPECT_GT(b.pixelColor(rim).red(), 200);
}

TEST(DeviceKeyButtonTest, TheGlowIsLaidOverTheLookTheKeyHasNow) {
    // At level 0 the glow adds nothing: a lit key must look exactly like the unlit one,
    // pixel for pixel, whether its look has few shades (a flat cap) or very many (a
    // gradient of every grey), and after its look changed.
    const auto same_lit_and_unlit = [](CDeviceKeyButtonUI& key) {
        key.SetLightOverlay(0x0000FF, 0, true);
        const QImage lit = key.grab().toImage();
        key.SetLightOverlay(0x0000FF, 0, false);
        return lit == key.grab().toImage();
    };
    CDeviceKeyButtonUI key;
    key.set_edge_glow(true);
    key.resize(40, 40);
    key.setStyleSheet("QPushButton { background: #202020; border: 1px solid #808080; }");
    EXPECT_TRUE(same_lit_and_unlit(key));
    key.setStyleSheet("QPushButton { background: #F0F0F0; border: 1px solid #808080; }");
    EXPECT_TRUE(same_lit_and_unlit(key));
    key.SetLightOverlay(0x0000FF, 255, true);
    EXPECT_GT(key.grab().toImage().pixelColor(20, 20).green(), 100);  // the light cap under it

    CDeviceKeyButtonUI wide;
    wide.set_edge_glow(true);
    wide.resize(300, 30);
    wide.setStyleSheet(
        "QPushButton { border: none; background: qlineargradient(x1:0, y1:0, x2:1, y2:0, "
        "stop:0 black, stop:1 white); }");
    EXPECT_TRUE(same_lit_and_unlit(wide));
    wide.SetLightOverlay(0x0000FF, 255, true);
    const QImage lit = wide.grab().toImage();
    EXPECT_GT(lit.pixelColor(2, 15).red(), 200);  // the rim, red over black and over white
    EXPECT_GT(lit.pixelColor(297, 15).red(), 200);
    EXPECT_LT(lit.pixelColor(297, 15).green(), 60);
}

TEST(DeviceKeyButtonTest, DoubleClickSendsOnlyWhenEnabled) {
    CDeviceKeyButtonUI button;
    button.resize(20, 20);
    QSignalSpy notes(&button, &CDeviceKeyButtonUI::controlNotify);
    button.setEnabled(false);
    QTest::mouseDClick(&button, Qt::LeftButton, {}, {5, 5});
    QMouseEvent direct(QEvent::MouseButtonDblClick, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton,
                       Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&button, &direct);
    EXPECT_EQ(notes.count(), 0);
    button.setEnabled(true);
    QTest::mouseDClick(&button, Qt::LeftButton, {}, {5, 5});
    ASSERT_EQ(notes.count(), 1);
    EXPECT_EQ(notes.at(0).at(0).toString(), "dbclick");
}

TEST(DeviceKeyButtonTest, OverlayStateAndLayoutAttributes) {
    CDeviceKeyButtonUI button;
    EXPECT_TRUE(button.IsKeysetImageHidden());
    EXPECT_FALSE(button.IsLightShown());
    EXPECT_EQ(button.LightColour(), 255u);
    EXPECT_EQ(button.LightLevel(), 200);
    button.SetLightOverlay(0x00FF8000, 128, true);
    EXPECT_EQ(button.LightColour(), 0x00FF8000u);
    EXPECT_EQ(button.LightLevel(), 128);
    EXPECT_TRUE(button.IsLightShown());
    EXPECT_TRUE(button.setProperty("gmnametextcolor", "#FF112233"));
    EXPECT_EQ(button.property("gmnametextcolor").toString(), "#FF112233");
    EXPECT_TRUE(button.setProperty("lightimage", "device/led.png"));
    EXPECT_EQ(button.light_image(), "device/led.png");

    // Painting with and without a light image, with the key-assignment image shown.
    button.resize(24, 24);
    button.SetKeysetImageHidden(false);
    EXPECT_FALSE(button.grab().isNull());
    button.set_light_image({});
    EXPECT_FALSE(button.grab().isNull());
}

TEST(DeviceKeyButtonTest, GlowCarriesTheLedColourAtItsLevel) {
    CDeviceKeyButtonUI button;
    button.setStyleSheet("QPushButton { background: black; border: none; }");
    button.resize(30, 30);
    button.SetLightOverlay(0x0000FF, 255, true);  // red in the frame's byte order
    const QImage shown = button.grab().toImage();
    const QColor centre = shown.pixelColor(shown.width() / 2, shown.height() / 2);
    EXPECT_GT(centre.red(), 200);
    EXPECT_LT(centre.green(), 40);
    EXPECT_LT(centre.blue(), 40);
    button.SetLightOverlay(0x0000FF, 255, false);
    const QColor dark = button.grab().toImage().pixelColor(15, 15);
    EXPECT_LT(dark.red(), 40);
}

}  // namespace
}  // namespace tellune::ui
