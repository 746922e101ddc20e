#include "ui/app/msg_wnd.h"

#include <QAbstractButton>
#include <QLabel>
#include <QScreen>
#include <QVBoxLayout>

#include "ui/app/control_factory.h"
#include "ui/app/text_table.h"
#include "ui/app/title_bar.h"
#include "ui/app/window_scale.h"

namespace tellune::ui {

CMsgWnd::CMsgWnd(QWidget* parent, ControlFactory* factory)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint) {
    setObjectName("msgwnd");
    setModal(true);
    setAttribute(Qt::WA_DeleteOnClose, false);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    ControlFactory own;
    ControlFactory& loader = factory ? *factory : own;
    if (QWidget* root = loader.load_layout("XML/msg.ui", this)) {
        layout->addWidget(root);
        retranslate(root);
    }
    title_ = findChild<QLabel*>("MessageTitle");
    text_ = findChild<QLabel*>("MessageText");
    if (QWidget* bar = findChild<QWidget*>("msg_title_bar")) new TitleBarMover(bar, this, false);
    for (QAbstractButton* b : findChildren<QAbstractButton*>()) {
        connect(b, &QAbstractButton::clicked, this, [this, b] { on_click(b->objectName()); });
    }
    resize(kWidth, kHeight);
}

QAbstractButton* CMsgWnd::button(const QString& name) const {
    return findChild<QAbstractButton*>(name);
}

void CMsgWnd::set_title(const QString& title) {
    if (title.isEmpty() || !title_) return;
    set_text_id(title_, {});
    title_->setText(title);
}

void CMsgWnd::set_text(const QString& text, bool text_is_id) {
    if (text.isEmpty() || !text_) return;
    if (text_is_id) {
        set_text_id(text_, text);
    } else {
        set_text_id(text_, {});
        text_->setText(text);
    }
}

void CMsgWnd::set_buttons(int buttons) {
    QAbstractButton* confirm = button("confirm_btn");
    QAbstractButton* cancel = button("cancel_btn");
    if (buttons == 0) {
        if (cancel) cancel->setVisible(false);
        if (confirm) confirm->setVisible(true);
    } else if (buttons == 1) {
        if (cancel) cancel->setVisible(true);
        if (confirm) confirm->setVisible(true);
    }
}

void CMsgWnd::set_scale(int dpi) {
    dpi = checked_scale(dpi, "MSG_WND DPI SET ERROR");
    if (dpi == dpi_) return;
    dpi_ = dpi;
    scale_fixed_sizes(this, dpi_);
    resize(scaled(kWidth, dpi_), scaled(kHeight, dpi_));
}

void CMsgWnd::on_click(const QString& name) {
    if (name.compare("closebtn", Qt::CaseInsensitive) == 0 ||
        name.compare("cancel_btn", Qt::CaseInsensitive) == 0)
        done(0);
    else if (name.compare("confirm_btn", Qt::CaseInsensitive) == 0)
        done(1);
    else if (name.compare("minbtn", Qt::CaseInsensitive) == 0)
        showMinimized();
    else if (name.compare("maxbtn", Qt::CaseInsensitive) == 0)
        showMaximized();
    else if (name.compare("restorebtn", Qt::CaseInsensitive) == 0)
        showNormal();
}

int ShowMessage(QWidget* parent, const QString& title, const QString& text, int scale,
                bool text_id_flag, int buttons) {
    CMsgWnd box(parent);
    box.set_title(title);
    box.set_text(text, text_id_flag);
    box.set_scale(scale);
    box.set_buttons(buttons);
    // Centre over the parent, or the screen when there is none.
    const QRect area = parent && parent->isVisible()
                           ? parent->frameGeometry()
                           : (box.screen() ? box.screen()->availableGeometry() : QRect());
    if (area.isValid()) box.move(area.center() - QPoint(box.width() / 2, box.height() / 2));
    return box.exec() == 1 ? 1 : 0;
}

}  // namespace tellune::ui
