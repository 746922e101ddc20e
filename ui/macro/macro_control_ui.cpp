#include "ui/macro/macro_control_ui.h"

#include <QAbstractButton>
#include <QContextMenuEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QScrollBar>
#include <QSettings>
#include <QSignalBlocker>
#include <QStyle>
#include <QValidator>

#include "core/macro/macro_events.h"
#include "core/platform/platform.h"
#include "ui/app/text_table.h"

namespace tellune::ui {
namespace {

constexpr int kGuidRole = Qt::UserRole;
constexpr char kStyleProperty[] = "macrostyle";

// Whole decimal numbers from 0 to `top`, or nothing (an empty edit reads as 0).
class NumberValidator : public QValidator {
public:
    NumberValidator(int top, QObject* parent) : QValidator(parent), top_(top) {}
    State validate(QString& input, int&) const override {
        if (input.isEmpty()) return Intermediate;
        for (QChar c : input)
            if (!c.isDigit() || c.unicode() > '9') return Invalid;
        bool ok = false;
        const int value = input.toInt(&ok);
        return ok && value <= top_ ? Acceptable : Invalid;
    }

private:
    int top_;
};

void set_style(QWidget* w, const char* style) {
    if (!w || w->property(kStyleProperty).toString() == QLatin1String(style)) return;
    w->setProperty(kStyleProperty, QString::fromLatin1(style));
    w->style()->unpolish(w);
    w->style()->polish(w);
}

// A row of the event list; a right click asks for its menu the way a double click on the
// list does.
class ActionRow : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;

signals:
    void controlNotify(const QString& type);

protected:
    void contextMenuEvent(QContextMenuEvent* event) override {
        event->accept();
        emit controlNotify(QStringLiteral("itemactivate"));
    }
};

struct Updating {
    explicit Updating(int& count) : count_(count) { ++count_; }
    ~Updating() { --count_; }
    int& count_;
};

QString name_text(const macro::EventLook& look) {
    return look.name_id.empty() ? QString() : texts().text(QString::fromStdString(look.name_id));
}

}  // namespace

CMacroControlUI::CMacroControlUI(QWidget* parent) : QWidget(parent), recorder_(actions_) {
    actions_.set_observer(this);
}

CMacroControlUI::~CMacroControlUI() {
    actions_.set_observer(nullptr);
}

CMacroControlUI* find_macro_control(QWidget* page) {
    return page ? page->findChild<CMacroControlUI*>() : nullptr;
}

template <class T>
T* CMacroControlUI::child(const char* name) const {
    return findChild<T*>(QLatin1String(name));
}

void CMacroControlUI::find_controls() {
    if (found_) return;
    found_ = true;
    names_ = child<QListWidget>("macro_name_list");
    rows_ = child<QListWidget>("macro_action_list");
    if (rows_) {
        rows_->setSelectionMode(QAbstractItemView::SingleSelection);
        rows_->setUniformItemSizes(true);
        // Clicking a row selects it here; the page's routes need not know.
        connect(rows_, &QListWidget::currentRowChanged, this,
                [this](int row) { actions_.select(row); });
    }
    if (QLineEdit* fixed = child<QLineEdit>("macro_fixed_time_edit")) {
        fixed->setValidator(new NumberValidator(macro::MacroRecorder::kMaxDelay, fixed));
        fixed->setMaxLength(kDelayEditLength);
        fixed->setText(QString::number(recorder_.fixed_delay()));
    }
    for (const char* name :
         {"mouse_x_left_edit", "mouse_x_right_edit", "mouse_y_up_edit", "mouse_y_down_edit"}) {
        if (QLineEdit* edit = child<QLineEdit>(name)) {
            edit->setValidator(new NumberValidator(kMaxDistance, edit));
            edit->setMaxLength(3);
        }
    }
    if (QLineEdit* name = child<QLineEdit>("macro_edit_macroname"))
        connect(name, &QLineEdit::returnPressed, this, [this] {
            if (auto* rename = child<QAbstractButton>("macro_btn_name_edit")) rename->click();
        });
    if (QWidget* stop = child<QWidget>("macro_btn_stopredio")) stop->hide();
    fill_names();
    update_enabled();
}

void CMacroControlUI::set_folder(const std::string& folder) {
    find_controls();
    library_.set_folder(folder);
    load_library();
    restore_delay_choice();
}

QString CMacroControlUI::settings_path() {
    return QString::fromStdString(application_data_folder()) + "main.ini";
}

namespace {

QString delay_section(const std::string& folder) {
    std::string name = folder;
    while (!name.empty() && (name.back() == '/' || name.back() == '\\')) name.pop_back();
    const size_t slash = name.find_last_of("/\\");
    if (slash != std::string::npos) name.erase(0, slash + 1);
    return name.empty() ? QString() : "MACRO_" + QString::fromStdString(name);
}

}  // namespace

void CMacroControlUI::remember_delay_choice() {
    const QString section = delay_section(library_.folder());
    auto* check = child<QAbstractButton>("macro_check_time");
    if (section.isEmpty() || !check) return;
    QSettings ini(settings_path(), QSettings::IniFormat);
    ini.beginGroup(section);
    ini.setValue("FIXEDDELAY", check->isChecked() ? "1" : "0");
    ini.setValue("FIXEDTIME", QString::number(fixed_delay_from_edit()));
    ini.endGroup();
    ini.sync();
}

void CMacroControlUI::restore_delay_choice() {
    const QString section = delay_section(library_.folder());
    if (section.isEmpty()) return;
    QSettings ini(settings_path(), QSettings::IniFormat);
    ini.beginGroup(section);
    const QString fixed = ini.value("FIXEDDELAY").toString();
    const QString time = ini.value("FIXEDTIME").toString();
    ini.endGroup();
    if (auto* check = child<QAbstractButton>("macro_check_time"); check && !fixed.isEmpty()) {
        const QSignalBlocker quiet(check);
        check->setChecked(fixed == QLatin1String("1"));
    }
    if (auto* edit = child<QLineEdit>("macro_fixed_time_edit"); edit && !time.isEmpty()) {
        // Read like any typed delay: digits only, clamped.
        edit->setText(QString::number(macro::delay_from_text(time.toStdString())));
    }
}

void CMacroControlUI::set_clock(macro::MacroRecorder::Clock clock) {
    recorder_.set_clock(std::move(clock));
}

// --- the library ---

QStringList CMacroControlUI::names() const {
    QStringList out;
    for (const std::string& n : library_.names()) out << QString::fromStdString(n);
    return out;
}

void CMacroControlUI::fill_names() {
    if (!names_) return;
    const QSignalBlocker block(names_);
    names_->clear();
    for (int i = 0; i < library_.size(); ++i) {
        auto* item = new QListWidgetItem(QString::fromStdString(library_.entry(i).name), names_);
        item->setData(kGuidRole, QString::fromStdString(library_.entry(i).guid));
        item->setSizeHint(QSize(0, kRowHeight));
    }
    names_->setCurrentRow(library_.selected());
}

void CMacroControlUI::load_library() {
    library_.load();
    fill_names();
    actions_.clear();
    update_enabled();
}

void CMacroControlUI::select_macro(int index) {
    library_.select(index);
    if (names_) {
        const QSignalBlocker block(names_);
        names_->setCurrentRow(library_.selected());
    }
    load_selected();
}

void CMacroControlUI::on_name_selected() {
    if (names_) select_macro(names_->currentRow());
}

QString CMacroControlUI::add_macro() {
    const QString name = QString::fromStdString(library_.add());
    if (name.isEmpty()) return name;
    fill_names();
    // The new macro has no events yet.
    select_macro(library_.selected());
    return name;
}

int CMacroControlUI::delete_macro() {
    const int index = library_.remove_selected();
    if (index < 0) return index;
    fill_names();
    actions_.clear();
    update_enabled();
    return index;
}

macro::MacroLibrary::RenameResult CMacroControlUI::rename_macro() {
    QLineEdit* edit = child<QLineEdit>("macro_edit_macroname");
    const macro::MacroLibrary::RenameResult result =
        library_.rename_selected(edit ? edit->text().toStdString() : std::string());
    if (result.index >= 0 && !result.name.empty()) {
        if (names_ && names_->item(result.index))
            names_->item(result.index)->setText(QString::fromStdString(result.name));
        if (edit) edit->clear();
    }
    return result;
}

macro::MacroLibrary::ImportResult CMacroControlUI::import_macro(const QString& path,
                                                                QString* name) {
    std::string imported;
    const auto result = library_.import_file(path.toStdString(), &imported);
    if (result == macro::MacroLibrary::ImportResult::kImported) {
        fill_names();
        select_macro(library_.selected());
        if (name) *name = QString::fromStdString(imported);
    }
    return result;
}

bool CMacroControlUI::export_macro(const QString& path) {
    return library_.export_selected(path.toStdString());
}

// --- rows ---

void CMacroControlUI::load_selected() {
    const macro::MacroEntry* entry = library_.selected_entry();
    if (!entry || library_.macro_file(library_.selected()).empty()) {
        actions_.clear();
    } else {
        actions_.load(library_.load_selected_events());
    }
    update_enabled();
}

bool CMacroControlUI::save_selected() {
    if (library_.macro_file(library_.selected()).empty()) return false;
    return library_.save_selected(actions_.events_for_save());
}

bool CMacroControlUI::insert_button(int button, bool down) {
    if (library_.macro_file(library_.selected()).empty()) return false;
    return actions_.insert_by_hand(macro::make_event(macro::kTypeMouseButton, button, down,
                                                     recorder_.fixed_delay())) >= 0;
}

bool CMacroControlUI::insert_move(int type, bool down) {
    if (library_.macro_file(library_.selected()).empty()) return false;
    const char* edit_name = type == macro::kTypeMoveX
                                ? (down ? "mouse_x_left_edit" : "mouse_x_right_edit")
                                : (down ? "mouse_y_up_edit" : "mouse_y_down_edit");
    QLineEdit* edit = child<QLineEdit>(edit_name);
    const int distance = edit ? edit->text().toInt() : 0;
    return actions_.insert_by_hand(
               macro::make_event(type, distance, down, recorder_.fixed_delay())) >= 0;
}

QWidget* CMacroControlUI::row_widget(int index) const {
    if (!rows_ || index < 0 || index >= rows_->count()) return nullptr;
    return rows_->itemWidget(rows_->item(index));
}

int CMacroControlUI::row_of(const QWidget* w) const {
    if (!rows_) return -1;
    for (int i = 0; i < rows_->count(); ++i)
        if (rows_->itemWidget(rows_->item(i)) == w) return i;
    return -1;
}

QWidget* CMacroControlUI::make_row(int index) {
    auto* row = new ActionRow;
    row->setObjectName(QStringLiteral("macro_action"));
    row->setFixedHeight(kRowHeight);
    auto* box = new QHBoxLayout(row);
    box->setContentsMargins(10, 0, 10, 0);
    box->setSpacing(12);
    auto* name = new QLabel(row);
    name->setObjectName(QStringLiteral("macro_action_name"));
    name->setFixedWidth(190);
    auto* action = new QLabel(row);
    action->setObjectName(QStringLiteral("macro_action_state"));
    action->setFixedWidth(90);
    auto* delay = new QLineEdit(row);
    delay->setObjectName(QStringLiteral("macro_delay"));
    delay->setFixedSize(90, kDelayEditHeight);
    delay->setMaxLength(kDelayEditLength);
    delay->setValidator(new NumberValidator(macro::MacroRecorder::kMaxDelay, delay));
    set_style(delay, "macro_label_text_style");
    auto* unit = new QLabel(row);
    unit->setObjectName(QStringLiteral("macro_delay_unit"));
    unit->setProperty("textid", QStringLiteral("macro_delay_unit"));
    unit->setText(texts().text(QStringLiteral("macro_delay_unit")));
    box->addWidget(name);
    box->addWidget(action);
    box->addStretch();
    box->addWidget(delay, 0, Qt::AlignVCenter);
    box->addWidget(unit);
    connect(delay, &QLineEdit::textEdited, this, [this, row](const QString& text) {
        actions_.set_delay_text(row_of(row), text.toStdString());
    });
    // Enter commits a typed delay the way leaving the edit does.
    connect(delay, &QLineEdit::returnPressed, delay, [delay] { delay->clearFocus(); });
    fill_row(row, index);
    return row;
}

void CMacroControlUI::fill_row(QWidget* row, int index) {
    if (!row || index < 0 || index >= actions_.size()) return;
    const macro::ActionList::Row& data = actions_.row(index);
    const macro::EventLook look = macro::event_look(data.event);
    auto* name = row->findChild<QLabel*>(QStringLiteral("macro_action_name"));
    auto* action = row->findChild<QLabel*>(QStringLiteral("macro_action_state"));
    auto* delay = row->findChild<QLineEdit*>(QStringLiteral("macro_delay"));
    if (name) {
        name->setText(name_text(look));
        set_style(name, look.keyboard ? "macro_label_keyboard_style" : "macro_label_mouse_style");
    }
    if (action) {
        switch (look.action) {
            case macro::EventLook::kDown:
                action->setText(texts().text(QStringLiteral("macro_action_down")));
                set_style(action, "macro_label_down_style");
                break;
            case macro::EventLook::kUp:
                action->setText(texts().text(QStringLiteral("macro_action_up")));
                set_style(action, "macro_label_up_style");
                break;
            case macro::EventLook::kDistance:
                action->setText(QString::number(look.distance));
                set_style(action, "macro_label_text_style");
                break;
            case macro::EventLook::kNone:
                action->clear();
                set_style(action, "macro_label_text_style");
                break;
        }
    }
    const QString text = QString::fromStdString(data.delay_text);
    if (delay && delay->text() != text) {
        const QSignalBlocker block(delay);
        delay->setText(text);
    }
}

void CMacroControlUI::rows_reset() {
    if (!rows_) return;
    const Updating updating(updating_);
    const QSignalBlocker block(rows_);
    rows_->setUpdatesEnabled(false);
    rows_->clear();
    for (int i = 0; i < actions_.size(); ++i) {
        auto* item = new QListWidgetItem(rows_);
        item->setSizeHint(QSize(0, kRowHeight));
        QWidget* row = make_row(i);
        rows_->setItemWidget(item, row);
        emit rowCreated(row);
    }
    rows_->setCurrentRow(-1);
    rows_->setUpdatesEnabled(true);
}

void CMacroControlUI::row_inserted(int index) {
    if (!rows_) return;
    const Updating updating(updating_);
    const QSignalBlocker block(rows_);
    auto* item = new QListWidgetItem;
    item->setSizeHint(QSize(0, kRowHeight));
    rows_->insertItem(index, item);
    QWidget* row = make_row(index);
    rows_->setItemWidget(item, row);
    emit rowCreated(row);
}

void CMacroControlUI::row_removed(int index) {
    if (!rows_) return;
    const Updating updating(updating_);
    const QSignalBlocker block(rows_);
    delete rows_->takeItem(index);
}

void CMacroControlUI::row_changed(int index) {
    fill_row(row_widget(index), index);
}

void CMacroControlUI::selection_changed(int index) {
    if (!rows_) return;
    const QSignalBlocker block(rows_);
    if (index < 0) {
        rows_->setCurrentRow(-1);
        rows_->clearSelection();
    } else {
        rows_->setCurrentRow(index);
    }
}

void CMacroControlUI::scroll_to_selected() {
    if (rows_ && actions_.selected() >= 0) rows_->scrollToItem(rows_->item(actions_.selected()));
}

// --- enabling and locking ---

void CMacroControlUI::update_enabled() {
    const bool editable = !library_.macro_file(library_.selected()).empty();
    for (const char* name : {"macro_action_layout", "mouse_move_layout"})
        if (QWidget* w = child<QWidget>(name)) w->setEnabled(editable);
    const bool chosen = library_.selected() >= 0;
    for (const char* name : {"macro_btn_export", "macro_btn_name_sub", "macro_btn_name_edit"})
        if (QWidget* w = child<QWidget>(name)) w->setEnabled(chosen);
}

void CMacroControlUI::set_locked(bool locked) {
    for (const char* name : {"macro_name_tab", "macro_action_list"}) {
        if (QWidget* w = child<QWidget>(name)) {
            w->setAttribute(Qt::WA_TransparentForMouseEvents, locked);
            for (QWidget* inner : w->findChildren<QWidget*>())
                inner->setAttribute(Qt::WA_TransparentForMouseEvents, locked);
        }
    }
    for (const char* name : {"macro_tab_macroaction_edit", "macro_tab_macrodelay_edit"})
        if (QWidget* w = child<QWidget>(name)) w->setEnabled(!locked);
    if (QWidget* start = child<QWidget>("macro_btn_starredio")) start->setVisible(!locked);
    if (QWidget* stop = child<QWidget>("macro_btn_stopredio")) stop->setVisible(locked);
}

int CMacroControlUI::fixed_delay_from_edit() {
    QLineEdit* edit = child<QLineEdit>("macro_fixed_time_edit");
    if (!edit) return recorder_.fixed_delay();
    const int value = macro::delay_from_text(edit->text().toStdString());
    const QString text = QString::number(value);
    if (edit->text() != text) {
        edit->setText(text);
        edit->setCursorPosition(int(text.size()));
    }
    return value;
}

void CMacroControlUI::start_recording(int mode, int kind) {
    const std::optional<int> fixed = kind == macro::MacroRecorder::kFixed
                                         ? std::optional<int>(fixed_delay_from_edit())
                                         : std::nullopt;
    recorder_.start(mode, kind, fixed);
    set_locked(true);
}

void CMacroControlUI::stop_recording() {
    recorder_.stop();
    set_locked(false);
}

QRect CMacroControlUI::stop_button_rect() const {
    QWidget* stop = child<QWidget>("macro_btn_stopredio");
    if (!stop || !stop->isVisible()) return {};
    return QRect(stop->mapToGlobal(QPoint(0, 0)), stop->size());
}

bool CMacroControlUI::record_key(uint8_t scan, bool extended, bool down) {
    return recorder_.key_event(scan, extended, down);
}

bool CMacroControlUI::record_mouse(int message, int xbutton, std::optional<QPoint> point) {
    const bool on_stop = point && stop_button_rect().contains(*point);
    return recorder_.mouse_event(message, xbutton, on_stop);
}

void CMacroControlUI::set_record_scope(bool global) {
    if (auto* hint = child<QLabel>("macro_record_scope_hint")) {
        const QString id =
            QString::fromLatin1(global ? "macro_record_global" : "macro_record_window");
        hint->setProperty("textid", id);
        hint->setText(texts().text(id));
    }
}

void CMacroControlUI::retranslate() {
    for (int i = 0; i < actions_.size(); ++i) fill_row(row_widget(i), i);
}

}  // namespace tellune::ui

#include "macro_control_ui.moc"
