#pragma once
// Moving a frameless window by dragging its title bar; a double click toggles maximised.

#include <QObject>

class QWidget;

namespace tellune::ui {

class TitleBarMover : public QObject {
    Q_OBJECT
public:
    // Watches `bar`; moves `window`. `allow_maximise`: double click toggles maximised.
    TitleBarMover(QWidget* bar, QWidget* window, bool allow_maximise);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* window_;
    bool allow_maximise_;
};

}  // namespace tellune::ui
