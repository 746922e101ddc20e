#include "ui/app/about_wnd.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/platform/platform.h"
#include "ui/app/text_table.h"
#include "ui/app/title_bar.h"

namespace tellune::ui {

CAboutWnd::CAboutWnd(QWidget* parent) : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint) {
    setObjectName("aboutwnd");
    setAttribute(Qt::WA_DeleteOnClose);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);

    auto* bar = new QWidget(this);
    bar->setObjectName("about_title_bar");
    auto* bar_layout = new QHBoxLayout(bar);
    bar_layout->setContentsMargins(16, 6, 6, 6);
    auto* title = new QLabel(bar);
    title->setObjectName("about_title");
    title->setProperty("textid", "about_title");
    auto* close = new QPushButton(bar);
    close->setObjectName("closebtn");
    close->setProperty("tooltipid", "tooltip_closebtn");
    bar_layout->addWidget(title);
    bar_layout->addStretch();
    bar_layout->addWidget(close);
    new TitleBarMover(bar, this, false);
    outer->addWidget(bar);

    auto* body = new QWidget(this);
    body->setObjectName("about_body");
    auto* body_layout = new QVBoxLayout(body);
    body_layout->setContentsMargins(24, 16, 24, 20);
    auto* name = new QLabel(
        QString::fromUtf8(kApplicationTitle.data(), int(kApplicationTitle.size())), body);
    name->setObjectName("about_name");
    auto* version = new QLabel(body);
    version->setObjectName("about_version");
    auto* text = new QLabel(body);
    text->setObjectName("about_text");
    text->setProperty("textid", "about_text");
    text->setWordWrap(true);
    auto* ok = new QPushButton(body);
    ok->setObjectName("about_ok_btn");
    ok->setProperty("textid", "about_close");
    body_layout->addWidget(name);
    body_layout->addWidget(version);
    body_layout->addWidget(text, 1);
    body_layout->addWidget(ok, 0, Qt::AlignRight);
    outer->addWidget(body, 1);

    connect(close, &QPushButton::clicked, this, &QDialog::close);
    connect(ok, &QPushButton::clicked, this, &QDialog::close);
    reload_texts();
    resize(380, 220);
}

void CAboutWnd::reload_texts() {
    retranslate(this);
    if (auto* version = findChild<QLabel*>("about_version"))
        version->setText(
            texts()
                .text("about_version")
                .arg(QString::fromUtf8(program_version().data(), int(program_version().size()))));
}

}  // namespace tellune::ui
