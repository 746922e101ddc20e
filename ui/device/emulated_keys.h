#pragma once
// With the emulated devices, the keys the user presses in the program's windows come out of
// the emulated keyboard as its key reports, so its reactive light modes can be tried without
// the keyboard itself. Install on the application (installEventFilter); it never consumes an
// event.

#include <QObject>
#include <memory>

namespace tellune::emulator {
class EmulatedBackend;
}

namespace tellune::ui {

class EmulatedKeyForwarder : public QObject {
    Q_OBJECT
public:
    explicit EmulatedKeyForwarder(std::shared_ptr<emulator::EmulatedBackend> backend,
                                  QObject* parent = nullptr);

    // The key with Linux key code `evdev` went down or up on every plugged emulated
    // keyboard that has it. False when none reported it.
    bool forward(int evdev, bool down);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::shared_ptr<emulator::EmulatedBackend> backend_;
};

}  // namespace tellune::ui
