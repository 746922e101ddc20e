#pragma once
// The small about window: name, version and a close button.

#include <QDialog>

namespace tellune::ui {

class CAboutWnd : public QDialog {
    Q_OBJECT
public:
    explicit CAboutWnd(QWidget* parent);
    void reload_texts();
};

}  // namespace tellune::ui
