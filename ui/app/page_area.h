#pragma once
// The device area of the main window: the stack of device pages inside a scroll area. The
// stack asks only for the room of the page it shows, and a page taller or wider than the
// window scrolls, so neither a page nor a change of page ever sizes the window.
//
// While the page scrolls, the wheel over a slider, list box or number box that does not have
// the focus scrolls the page: passing under the pointer must not change a setting.

#include <QObject>
#include <QPointer>

class QScrollArea;
class QStackedWidget;
class QWidget;

namespace tellune::ui {

class PageArea : public QObject {
    Q_OBJECT
public:
    // Watches `pages`, the widget of `scroll`; a child of `pages`.
    PageArea(QStackedWidget* pages, QScrollArea* scroll);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Only the current page takes part in the stack's size; its value controls get the
    // wheel filter.
    void fit_to_current();
    void watch_wheel(QWidget* page);

    // The stack, or nullptr once it is being destroyed (its pages go first, and their
    // events still arrive here).
    QStackedWidget* pages() const;

    // Held as a plain widget: while the stack is destroyed it is no stack any more.
    QPointer<QWidget> pages_;
    QPointer<QScrollArea> scroll_;
};

}  // namespace tellune::ui
