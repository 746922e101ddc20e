#include "ui/app/skin_choice.h"

#include "ui/app/main_wnd.h"

namespace tellune::ui {

SkinExtension::SkinExtension(QString store_path) : store_(std::move(store_path)) {}

SkinExtension::~SkinExtension() {
    if (receiver_) subject_.Unregister(receiver_.get());
    delete frame_.data();
}

void SkinExtension::window_init(CMainWnd& wnd) {
    wnd_ = &wnd;
    receiver_ = std::make_unique<RootSkinReceiver>(wnd.root(), wnd.factory().skin_folder());
    subject_.Register(receiver_.get());
    if (const auto choice = store_.restore()) subject_.Broadcast(*choice);
    if (QWidget* skin = wnd.control("skinbtn")) skin->show();
    wnd.routes("click").add("skinbtn", Match::NoCase,
                            [this](const Notification&, int) { toggle(); });
}

CSkinFrame* SkinExtension::toggle() {
    if (!wnd_) return nullptr;
    if (frame_) {
        frame_->close();
        return nullptr;
    }
    frame_ = new CSkinFrame(wnd_->control("skinbtn"), wnd_->factory(), subject_, store_);
    frame_->show();
    return frame_;
}

void SkinExtension::close_child_windows() {
    if (frame_) frame_->close();
}

}  // namespace tellune::ui
