#pragma once
// The skin window: the main window's background as an offered image, an offered colour, a
// picture of the user's own, or the default. Changes reach the main window (and any other
// receiver) through a small observer; the choice is kept in "main.ini" and restored at start.

#include <QPointer>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

class QAbstractButton;

namespace tellune::ui {

class ControlFactory;

struct SkinChangedParam {
    static constexpr int kImage = 0;
    static constexpr int kColour = 1;
    int flag = kImage;
    uint32_t colour = 0;  // ARGB, when flag is kColour
    QString image;        // skin-relative name or absolute path, when flag is kImage
};

class SkinChangedReceiver {
public:
    virtual ~SkinChangedReceiver() = default;
    // True when the change was handled.
    virtual bool Receive(const SkinChangedParam& param) = 0;
};

class SkinChangedSubject {
public:
    void Register(SkinChangedReceiver* receiver);
    void Unregister(SkinChangedReceiver* receiver);
    void Broadcast(const SkinChangedParam& param) const;

private:
    std::vector<SkinChangedReceiver*> receivers_;
};

// The background layout "skin.ui" resets to.
inline constexpr const char* kDefaultBackground = "common/background.png";

// "main.ini" in the application data folder: section "SKINIMAGE", keys "FLAGS" (1 after an
// image was chosen, 0 after a reset), "IMAGE" and "COLOR" (the colour chosen last, as
// #AARRGGBB; removed again when an image is chosen).
class SkinStore {
public:
    explicit SkinStore(QString path = default_path());
    static QString default_path();

    bool store_image(const QString& image, bool reset);
    bool store_colour(uint32_t colour);
    // The choice to restore at start: nothing after a reset or when nothing was chosen.
    std::optional<SkinChangedParam> restore() const;
    const QString& path() const { return path_; }

private:
    QString path_;
};

// Applies changes to the main window's "root": a colour replaces the image, an image is
// drawn over colour 0. An image that does not exist gives the layout's own background.
class RootSkinReceiver : public SkinChangedReceiver {
public:
    RootSkinReceiver(QWidget* root, QString skin_folder)
        : root_(root), skin_folder_(std::move(skin_folder)) {}
    bool Receive(const SkinChangedParam& param) override;
    // The file an image name stands for.
    QString resolve(const QString& image) const;

private:
    QPointer<QWidget> root_;
    QString skin_folder_;
};

class CSkinFrame : public QWidget {
    Q_OBJECT
public:
    // Asks for a picture file; empty when the user cancelled.
    using FileChooser = std::function<QString(QWidget* parent)>;

    CSkinFrame(QWidget* anchor, ControlFactory& factory, SkinChangedSubject& subject,
               SkinStore& store);
    void set_file_chooser(FileChooser chooser) { choose_file_ = std::move(chooser); }
    // Clicks by control name (compared without regard to case); `control` is the clicked one.
    void on_click(QAbstractButton* control);

private:
    SkinChangedSubject& subject_;
    SkinStore& store_;
    FileChooser choose_file_;
};

}  // namespace tellune::ui
