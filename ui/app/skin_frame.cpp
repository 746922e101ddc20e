#include "ui/app/skin_frame.h"

#include <QAbstractButton>
#include <QColor>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QSettings>
#include <QStackedWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "core/platform/platform.h"
#include "ui/app/control_factory.h"
#include "ui/app/text_table.h"

namespace tellune::ui {
namespace {

QString colour_text(uint32_t argb) {
    return QStringLiteral("#%1").arg(argb, 8, 16, QLatin1Char('0')).toUpper();
}

std::optional<uint32_t> parse_colour(const QString& text) {
    const QColor c(text.trimmed());  // "#AARRGGBB" or "#RRGGBB"
    if (!c.isValid()) return std::nullopt;
    return c.rgba();
}

// A file name inside a style sheet string.
QString css_string(QString s) {
    s.replace('\\', "\\\\").replace('"', "\\\"");
    return '"' + s + '"';
}

}  // namespace

void SkinChangedSubject::Register(SkinChangedReceiver* receiver) {
    if (receiver && std::find(receivers_.begin(), receivers_.end(), receiver) == receivers_.end())
        receivers_.push_back(receiver);
}

void SkinChangedSubject::Unregister(SkinChangedReceiver* receiver) {
    receivers_.erase(std::remove(receivers_.begin(), receivers_.end(), receiver), receivers_.end());
}

void SkinChangedSubject::Broadcast(const SkinChangedParam& param) const {
    const auto receivers = receivers_;  // a receiver may unregister itself
    for (SkinChangedReceiver* r : receivers) r->Receive(param);
}

SkinStore::SkinStore(QString path) : path_(std::move(path)) {}

QString SkinStore::default_path() {
    return QString::fromStdString(application_data_folder()) + "main.ini";
}

bool SkinStore::store_image(const QString& image, bool reset) {
    QSettings ini(path_, QSettings::IniFormat);
    ini.beginGroup("SKINIMAGE");
    ini.setValue("FLAGS", reset ? "0" : "1");
    ini.setValue("IMAGE", image);
    ini.remove("COLOR");
    ini.endGroup();
    ini.sync();
    return ini.status() == QSettings::NoError;
}

bool SkinStore::store_colour(uint32_t colour) {
    QSettings ini(path_, QSettings::IniFormat);
    ini.setValue("SKINIMAGE/COLOR", colour_text(colour));
    ini.sync();
    return ini.status() == QSettings::NoError;
}

std::optional<SkinChangedParam> SkinStore::restore() const {
    if (!QFileInfo::exists(path_)) return std::nullopt;
    QSettings ini(path_, QSettings::IniFormat);
    ini.beginGroup("SKINIMAGE");
    if (const auto colour = parse_colour(ini.value("COLOR").toString())) {
        return SkinChangedParam{SkinChangedParam::kColour, *colour, {}};
    }
    const QString image = ini.value("IMAGE").toString();
    if (ini.value("FLAGS").toString().trimmed() != "1" || image.isEmpty()) return std::nullopt;
    return SkinChangedParam{SkinChangedParam::kImage, 0, image};
}

QString RootSkinReceiver::resolve(const QString& image) const {
    if (image.isEmpty()) return {};
    return QDir::isAbsolutePath(image) ? image : skin_folder_ + image;
}

bool RootSkinReceiver::Receive(const SkinChangedParam& param) {
    if (!root_) return true;
    if (param.flag == SkinChangedParam::kColour) {
        const QColor c = QColor::fromRgba(param.colour);
        root_->setStyleSheet(QStringLiteral("#root { background-color: rgba(%1, %2, %3, %4); "
                                            "border-image: none; }")
                                 .arg(c.red())
                                 .arg(c.green())
                                 .arg(c.blue())
                                 .arg(c.alpha()));
        return true;
    }
    const QString file = resolve(param.image);
    if (file.isEmpty() || !QFileInfo(file).isFile()) {
        // A picture that went away: the layout's own background.
        root_->setStyleSheet({});
        return true;
    }
    root_->setStyleSheet(QStringLiteral("#root { background-color: transparent; "
                                        "border-image: url(%1) 0 0 0 0 stretch stretch; }")
                             .arg(css_string(file)));
    return true;
}

CSkinFrame::CSkinFrame(QWidget* anchor, ControlFactory& factory, SkinChangedSubject& subject,
                       SkinStore& store)
    : QWidget(anchor ? anchor->window() : nullptr,
              Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      subject_(subject),
      store_(store) {
    setObjectName("skinframe");
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_StyledBackground);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    if (QWidget* root = factory.load_layout("XML/skin.ui", this)) layout->addWidget(root);
    retranslate(this);
    const QString skin = factory.skin_folder();
    for (QAbstractButton* b : findChildren<QAbstractButton*>()) {
        const QString image = b->property("bkimage").toString();
        if (!image.isEmpty()) {
            b->setIcon(QIcon(skin + image));
            b->setIconSize(b->maximumSize() - QSize(6, 6));
        }
        const QString colour = b->property("bkcolor").toString();
        if (!colour.isEmpty()) b->setStyleSheet(QStringLiteral("background: %1;").arg(colour));
        connect(b, &QAbstractButton::clicked, this, [this, b] { on_click(b); });
    }
    choose_file_ = [](QWidget* parent) {
        return QFileDialog::getOpenFileName(parent, texts().text("SkinCustomText"),
                                            QStringLiteral("*.png"),
                                            QStringLiteral("(*.png) (*.png);;(*.*) (*)"));
    };
    adjustSize();
    if (anchor) {
        // Under the anchor, its right edges aligned.
        const QPoint below = anchor->mapToGlobal(QPoint(anchor->width(), anchor->height()));
        move(below.x() - width(), below.y() + 4);
    }
}

void CSkinFrame::on_click(QAbstractButton* control) {
    const QString name = control->objectName();
    const auto is = [&name](const char* s) {
        return name.compare(QLatin1String(s), Qt::CaseInsensitive) == 0;
    };
    auto* tab = findChild<QStackedWidget*>("skin_tab");
    if (is("skin_image_btn")) {
        const QString image = control->property("bkimage").toString();
        subject_.Broadcast({SkinChangedParam::kImage, 0, image});
        store_.store_image(image, false);
    } else if (is("skin_color_btn")) {
        const auto colour = parse_colour(control->property("bkcolor").toString());
        if (!colour) return;
        subject_.Broadcast({SkinChangedParam::kColour, *colour, {}});
        store_.store_colour(*colour);
    } else if (is("skin_color")) {
        if (tab) tab->setCurrentIndex(1);
    } else if (is("skin_image")) {
        if (tab) tab->setCurrentIndex(0);
    } else if (is("skin_reset")) {
        subject_.Broadcast({SkinChangedParam::kImage, 0, kDefaultBackground});
        store_.store_image(kDefaultBackground, true);
    } else if (is("skin_Custom")) {
        const QString file = choose_file_ ? choose_file_(this) : QString();
        if (file.isEmpty()) return;
        const QString path = QFileInfo(file).absoluteFilePath();
        subject_.Broadcast({SkinChangedParam::kImage, 0, path});
        // Kept too, so the picture is back after a restart.
        store_.store_image(path, false);
    } else if (is("skin_close")) {
        close();
    }
}

}  // namespace tellune::ui
