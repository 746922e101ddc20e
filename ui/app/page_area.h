#pragma once
// The device area of the main window: the stack of device pages inside a scroll area. The
// stack asks only for the room of the page it shows, and a page taller or wider than the
// window scrolls, so neither a page nor a change of page ever sizes the window.

#include <QObject>
#include <QPointer>

class QScrollArea;
class QStackedWidget;

namespace tellune::ui {

class PageArea : public QObject {
    Q_OBJECT
public:
    // Watches `pages`, the widget of `scroll`; a child of `pages`.
    PageArea(QStackedWidget* pages, QScrollArea* scroll);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Only the current page takes part in the stack's size.
    void fit_to_current();

    QPointer<QStackedWidget> pages_;
    QPointer<QScrollArea> scroll_;
};

}  // namespace tellune::ui
