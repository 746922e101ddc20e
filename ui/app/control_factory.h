#pragma once
// Builds widget trees from the Qt Designer layouts under skin/. Tags that are not Qt classes
// are looked up, without regard to case, in the control table: a control class (created by
// whatever later code registered for the tag, a plain named container until then) or a
// sub-layout built by a factory of the same kind. Tags found nowhere yield no control.

#include <QString>
#include <QUiLoader>
#include <functional>

class QWidget;

namespace tellune::ui {

class ControlFactory : public QUiLoader {
    Q_OBJECT
public:
    // Creates the control for a tag. Receives the parent, the objectName the layout gives
    // it, and the factory (for controls that load layouts of their own). nullptr = no control.
    using Creator =
        std::function<QWidget*(QWidget* parent, const QString& name, ControlFactory& factory)>;

    struct TagEntry {
        const char* tag;
        const char* target;  // class name, or the layout path for a sub-layout
        bool sub_layout;
    };

    // Sub-layouts may nest; a cycle stops at this depth instead of recursing forever.
    static constexpr int kMaxDepth = 8;

    explicit ControlFactory(QString skin_folder = default_skin_folder(), QObject* parent = nullptr);

    // program data folder + "skin/".
    static QString default_skin_folder();

    // Registers the creator for a tag (compared without regard to case; replaces an earlier
    // one). Interface thread; later code registers its device controls and editors here.
    static void register_tag(const QString& tag, Creator creator);
    static void unregister_tag(const QString& tag);
    static bool has_creator(const QString& tag);

    // The fixed table entry for a tag, or nullptr.
    static const TagEntry* find_tag(const QString& tag);

    // Builds skin folder + `relative_path` ("XML/main.ui"). nullptr when the file is
    // missing or not a layout.
    QWidget* load_layout(const QString& relative_path, QWidget* parent = nullptr);

    const QString& skin_folder() const { return skin_folder_; }
    int depth() const { return depth_; }

    QWidget* createWidget(const QString& class_name, QWidget* parent = nullptr,
                          const QString& name = QString()) override;

private:
    ControlFactory(QString skin_folder, int depth);
    QWidget* placeholder(const QString& tag, QWidget* parent);

    QString skin_folder_;
    int depth_ = 0;
};

}  // namespace tellune::ui
