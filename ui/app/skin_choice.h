#pragma once
// The skin window as part of the program: "skinbtn" opens it, the main window's "root"
// receives the changes, and the last choice is put back at start.

#include <QPointer>
#include <memory>

#include "ui/app/shell_extension.h"
#include "ui/app/skin_frame.h"

namespace tellune::ui {

class SkinExtension : public ShellExtension {
public:
    explicit SkinExtension(QString store_path = SkinStore::default_path());
    ~SkinExtension() override;

    void window_init(CMainWnd& wnd) override;
    void close_child_windows() override;

    // Opens the skin window under "skinbtn"; a second click closes it.
    CSkinFrame* toggle();
    CSkinFrame* frame() const { return frame_; }
    SkinChangedSubject& subject() { return subject_; }
    SkinStore& store() { return store_; }

private:
    CMainWnd* wnd_ = nullptr;
    SkinChangedSubject subject_;
    SkinStore store_;
    std::unique_ptr<RootSkinReceiver> receiver_;
    QPointer<CSkinFrame> frame_;
};

}  // namespace tellune::ui
