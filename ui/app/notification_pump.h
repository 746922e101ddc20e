#pragma once
// Turns the signals of named widgets into notifications by control name, so the routing
// stays a matter of names:
//   click             button clicked
//   selectchanged     checkable button (option, check, tab) toggled
//   valuechanged      slider value settled (released, or changed without a drag)
//   movevaluechanged  slider value while it is dragged
//   itemselect        combo or list selection changed
//   itemactivate      list item activated
//   setfocus/killfocus  edit gained / lost focus
//   returnpressed     Enter in a one-line edit
//   colorchanged      a control's colorChanged(QColor) signal
// A custom control can send any other type through a signal controlNotify(QString).

#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>

namespace tellune::ui {

struct Notification {
    QString type;
    QString sender;  // objectName of the control
    QPointer<QObject> control;
};

class NotificationSink {
public:
    virtual ~NotificationSink() = default;
    virtual void notify(const Notification& n) = 0;
};

class NotificationPump : public QObject {
    Q_OBJECT
public:
    explicit NotificationPump(NotificationSink* sink, QObject* parent = nullptr);

    // Connects `root` and every named descendant. Safe to repeat: widgets already
    // attached are skipped, so pages built later are attached by attaching again.
    void attach(QWidget* root);

    // Delivers one notification. Every type but "timer" writes two debug lines: the type
    // and the sender's name.
    void send(const QString& type, QObject* control);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private slots:
    void on_control_notify(const QString& type);
    void on_color_changed();

private:
    void attach_one(QWidget* w);

    NotificationSink* sink_;
};

}  // namespace tellune::ui
