#include "ui/app/control_factory.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QSet>
#include <QWidget>

#include "core/platform/platform.h"

namespace tellune::ui {
namespace {

constexpr ControlFactory::TagEntry kTags[] = {
    {"CircleProgress", "CCircleProgressUI", false},
    {"SelectPanel", "CSelectPanelUI", false},
    {"DeviceKeyButton", "CDeviceKeyButtonUI", false},
    {"HandImgButton", "CHandImgButtonUI", false},
    {"HandImgSelectButton", "CHandImgSelectButtonUI", false},
    {"RedioMacroButton", "CRedioMacroButtonUI", false},
    {"ComboEditContainerElement", "CComboEditContainerElementUI", false},
    {"TarvexMousePadDevice", "CTarvexMousePadDevice", false},
    {"TarvexHS6533Device", "CTarvexHS6533Device", false},
    {"TarvexMouseDevice", "CTarvexMouseDevice", false},
    {"TarvexKeyboardDevice", "CTarvexKeyboardDevice", false},
    {"DeviceProfile", "CDeviceProfileUI", false},
    {"LightControl", "CLightControlUI", false},
    {"MagicControl", "CMagicControlUI", false},
    {"Voice6533Control", "CVoice6533ControlUI", false},
    {"KeySetControl", "CKeySetControlUI", false},
    {"ShootControl", "CShootControlUI", false},
    {"DeviceProfileUI", "XML/CustomControlXML/DeviceProfile.ui", true},
    {"LightSetControlUI", "XML/CustomControlXML/LightControl.ui", true},
    {"Voice6533SetControlUI", "XML/CustomControlXML/Voice6533Control.ui", true},
    {"MagicSetControlUI", "XML/CustomControlXML/MagicControl.ui", true},
    {"KeySetControlUI", "XML/CustomControlXML/KeySetControl.ui", true},
    {"MacroSetControlUI", "XML/CustomControlXML/MacroControl.ui", true},
    {"ShootKeySetControlUI", "XML/CustomControlXML/ShootControl.ui", true},
    {"VirtualSetControlUI", "XML/CustomControlXML/VirtualSet.ui", true},
};

QHash<QString, ControlFactory::Creator>& creators() {
    static QHash<QString, ControlFactory::Creator> table;
    return table;
}

const QSet<QString>& qt_classes() {
    static const QSet<QString> classes = [] {
        QUiLoader loader;
        const QStringList names = loader.availableWidgets();
        QSet<QString> set(names.begin(), names.end());
        set.insert("Line");  // Designer's line is a QFrame the form builder makes itself
        return set;
    }();
    return classes;
}

}  // namespace

ControlFactory::ControlFactory(QString skin_folder, QObject* parent)
    : QUiLoader(parent), skin_folder_(std::move(skin_folder)) {
    setWorkingDirectory(QDir(skin_folder_));
}

ControlFactory::ControlFactory(QString skin_folder, int depth)
    : ControlFactory(std::move(skin_folder)) {
    depth_ = depth;
}

QString ControlFactory::default_skin_folder() {
    return QString::fromStdString(program_data_folder()) + "skin/";
}

void ControlFactory::register_tag(const QString& tag, Creator creator) {
    creators().insert(tag.toCaseFolded(), std::move(creator));
}

void ControlFactory::unregister_tag(const QString& tag) {
    creators().remove(tag.toCaseFolded());
}

bool ControlFactory::has_creator(const QString& tag) {
    return creators().contains(tag.toCaseFolded());
}

const ControlFactory::TagEntry* ControlFactory::find_tag(const QString& tag) {
    for (const TagEntry& entry : kTags)
        if (tag.compare(QLatin1String(entry.tag), Qt::CaseInsensitive) == 0) return &entry;
    return nullptr;
}

QWidget* ControlFactory::load_layout(const QString& relative_path, QWidget* parent) {
    QFile file(QDir(skin_folder_).filePath(relative_path));
    if (!file.open(QIODevice::ReadOnly)) {
        debug_printf("layout not found: %s", relative_path.toUtf8().constData());
        return nullptr;
    }
    QWidget* root = load(&file, parent);
    if (!root) debug_printf("layout not built: %s", relative_path.toUtf8().constData());
    return root;
}

QWidget* ControlFactory::placeholder(const QString& tag, QWidget* parent) {
    auto* w = new QWidget(parent);
    w->setProperty("tellune_tag", tag);
    return w;
}

QWidget* ControlFactory::createWidget(const QString& class_name, QWidget* parent,
                                      const QString& name) {
    if (const TagEntry* entry = find_tag(class_name)) {
        if (entry->sub_layout) {
            if (depth_ >= kMaxDepth) {
                debug_printf("layout nesting too deep: %s", entry->target);
                return nullptr;
            }
            // The loader keeps per-load state, so nested layouts get a loader of their own.
            ControlFactory nested(skin_folder_, depth_ + 1);
            return nested.load_layout(QString::fromLatin1(entry->target), parent);
        }
        const auto it = creators().constFind(class_name.toCaseFolded());
        if (it != creators().constEnd()) return (*it)(parent, name, *this);
        return placeholder(QString::fromLatin1(entry->tag), parent);
    }
    const auto it = creators().constFind(class_name.toCaseFolded());
    if (it != creators().constEnd()) return (*it)(parent, name, *this);
    if (qt_classes().contains(class_name)) return QUiLoader::createWidget(class_name, parent, name);
    debug_printf("unknown control: %s", class_name.toUtf8().constData());
    return nullptr;
}

}  // namespace tellune::ui
