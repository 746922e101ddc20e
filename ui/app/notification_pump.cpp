#include "ui/app/notification_pump.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTextEdit>

#include "core/platform/platform.h"

namespace tellune::ui {
namespace {

constexpr char kAttached[] = "_tellune_pumped";

bool is_edit(QWidget* w) {
    return qobject_cast<QLineEdit*>(w) || qobject_cast<QAbstractSpinBox*>(w) ||
           qobject_cast<QTextEdit*>(w) || qobject_cast<QPlainTextEdit*>(w);
}

}  // namespace

NotificationPump::NotificationPump(NotificationSink* sink, QObject* parent)
    : QObject(parent), sink_(sink) {}

void NotificationPump::attach(QWidget* root) {
    if (!root) return;
    attach_one(root);
    for (QWidget* w : root->findChildren<QWidget*>()) attach_one(w);
}

void NotificationPump::attach_one(QWidget* w) {
    const QString name = w->objectName();
    // Qt's own inner widgets (qt_spinbox_lineedit, ...) are not controls of ours.
    if (name.isEmpty() || name.startsWith(QLatin1String("qt_"))) return;
    if (w->property(kAttached).toBool()) return;
    w->setProperty(kAttached, true);

    if (auto* button = qobject_cast<QAbstractButton*>(w)) {
        connect(button, &QAbstractButton::clicked, this, [this, button] { send("click", button); });
        connect(button, &QAbstractButton::toggled, this, [this, button] {
            if (button->isCheckable()) send("selectchanged", button);
        });
    } else if (auto* slider = qobject_cast<QAbstractSlider*>(w)) {
        connect(slider, &QAbstractSlider::valueChanged, this, [this, slider] {
            send(slider->isSliderDown() ? "movevaluechanged" : "valuechanged", slider);
        });
        connect(slider, &QAbstractSlider::sliderReleased, this,
                [this, slider] { send("valuechanged", slider); });
    } else if (auto* combo = qobject_cast<QComboBox*>(w)) {
        connect(combo, &QComboBox::currentIndexChanged, this,
                [this, combo] { send("itemselect", combo); });
    } else if (auto* list = qobject_cast<QListWidget*>(w)) {
        connect(list, &QListWidget::currentRowChanged, this,
                [this, list] { send("itemselect", list); });
        connect(list, &QListWidget::itemActivated, this,
                [this, list] { send("itemactivate", list); });
    }
    if (is_edit(w)) w->installEventFilter(this);
    if (auto* line = qobject_cast<QLineEdit*>(w))
        connect(line, &QLineEdit::returnPressed, this,
                [this, line] { send("returnpressed", line); });

    const QMetaObject* meta = w->metaObject();
    if (meta->indexOfSignal("controlNotify(QString)") >= 0)
        connect(w, SIGNAL(controlNotify(QString)), this, SLOT(on_control_notify(QString)));
    if (meta->indexOfSignal("colorChanged(QColor)") >= 0)
        connect(w, SIGNAL(colorChanged(QColor)), this, SLOT(on_color_changed()));
}

void NotificationPump::send(const QString& type, QObject* control) {
    Notification n{type, control ? control->objectName() : QString(), control};
    if (type != QLatin1String("timer")) {
        debug_line(type.toStdString());
        debug_line(n.sender.toStdString());
    }
    if (sink_) sink_->notify(n);
}

bool NotificationPump::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn)
        send("setfocus", watched);
    else if (event->type() == QEvent::FocusOut)
        send("killfocus", watched);
    return QObject::eventFilter(watched, event);
}

void NotificationPump::on_control_notify(const QString& type) {
    send(type, sender());
}

void NotificationPump::on_color_changed() {
    send("colorchanged", sender());
}

}  // namespace tellune::ui
