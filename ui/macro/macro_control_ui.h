#pragma once
// CMacroControlUI: the macro page of a device page (layout XML/CustomControlXML/MacroControl.ui).
// It shows the device's macro library as a list of names and the selected macro as a list of
// event rows, records rows from live input, inserts mouse actions and moves by hand, moves,
// deletes and re-times rows, and adds, deletes, renames, imports and exports macros.
//
// It knows no device: its folder is the device's data folder, and the macro editor
// (macro_editor.h) routes the page's events here and tells the device control what changed.
// Every change that alters a macro is saved by the editor's call to save_selected().
//
// Filling the controls from the program never sends a notification: the setters block the
// signals of the controls they change.

#include <QListWidget>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <optional>
#include <string>

#include "core/macro/action_list.h"
#include "core/macro/macro_library.h"
#include "core/macro/macro_recorder.h"

namespace tellune::ui {

class CMacroControlUI : public QWidget, public macro::ActionList::Observer {
    Q_OBJECT
public:
    static constexpr char kClassName[] = "MacroControl";
    static constexpr int kRowHeight = 30;
    static constexpr int kDelayEditHeight = 25;
    static constexpr int kDelayEditLength = 6;
    static constexpr int kMaxDistance = 255;  // a move's distance fits the device's byte
    // The context menu of a row.
    static constexpr char kMenuFile[] = "XML/Menus/macro_action_menu.json";
    // File dialogs show these.
    static constexpr char kFileFilter[] = "Macro Files(*.mac)";

    explicit CMacroControlUI(QWidget* parent = nullptr);
    ~CMacroControlUI() override;

    // Looks up the named controls and sets them up; once, after the layout is loaded.
    void find_controls();
    // The device's data folder; the library is loaded from it.
    void set_folder(const std::string& folder);
    const std::string& folder() const { return library_.folder(); }

    // The fixed-delay choice ("macro_check_time" and its milliseconds) is kept per device in
    // "main.ini", section "MACRO_" + the data folder's name, so the next start offers it again.
    void remember_delay_choice();
    static QString settings_path();

    // --- the library ---
    void load_library();
    // Adds a macro and selects it. Its name, or empty when the library is full.
    QString add_macro();
    // Deletes the selected macro. Its index, or -1 with nothing selected.
    int delete_macro();
    // Renames the selected macro to the name edit's text (the edit is cleared on success).
    macro::MacroLibrary::RenameResult rename_macro();
    macro::MacroLibrary::ImportResult import_macro(const QString& path, QString* name = nullptr);
    bool export_macro(const QString& path);
    // The selected macro's index, or -1.
    int selected_index() const { return library_.selected(); }
    QStringList names() const;
    // Selects macro `index` in the name list and loads it (-1: none).
    void select_macro(int index);
    // The name list's choice: the macro it shows is loaded.
    void on_name_selected();

    // --- the selected macro's rows ---
    // Reads the selected macro's file into the rows (also "cancel": unsaved changes go).
    void load_selected();
    // Writes the rows into the selected macro's file. False when nothing was written.
    bool save_selected();
    bool row_up() { return actions_.move_up(); }
    bool row_down() { return actions_.move_down(); }
    bool row_top() { return actions_.move_to_top(); }
    bool row_bottom() { return actions_.move_to_bottom(); }
    bool row_delete() { return actions_.remove_selected(); }
    void row_delete_all() { actions_.remove_all(); }
    // A button press or release inserted by hand (mouse button bit), with the fixed delay.
    bool insert_button(int button, bool down);
    // A move of the distance typed in its edit: type 4 ("down" left) or 5 ("down" up).
    bool insert_move(int type, bool down);

    // --- recording ---
    // Locks the page and starts the recorder; the editor installs the hook.
    void start_recording(int mode, int kind);
    // Unlocks the page and stops the recorder; the editor removes the hook and saves.
    void stop_recording();
    bool recording() const { return recorder_.recording(); }
    // A key stroke or mouse button from the hook. True when a row was added.
    bool record_key(uint8_t scan, bool extended, bool down);
    bool record_mouse(int message, int xbutton, std::optional<QPoint> point);
    // The Stop button on the screen (empty while it is hidden).
    QRect stop_button_rect() const;
    // Scrolls the rows so that the selected one is visible.
    void scroll_to_selected();
    // Says whether recording sees other programs' windows too or this window only.
    void set_record_scope(bool global);

    // True while the rows are being rebuilt: a delay edit that loses the focus because its row
    // goes away has nothing to save then.
    bool updating_rows() const { return updating_ > 0; }

    // Texts of the rows and the hint again (after a language change).
    void retranslate();

    macro::MacroLibrary& library() { return library_; }
    macro::ActionList& actions() { return actions_; }
    macro::MacroRecorder& recorder() { return recorder_; }
    // Replaces the recorder's clock (tests).
    void set_clock(macro::MacroRecorder::Clock clock);
    QListWidget* name_list() const { return names_; }
    QListWidget* action_list() const { return rows_; }
    // The row widget of row `index`, or nullptr.
    QWidget* row_widget(int index) const;

    // --- ActionList::Observer ---
    void rows_reset() override;
    void row_inserted(int row) override;
    void row_removed(int row) override;
    void row_changed(int row) override;
    void selection_changed(int row) override;

signals:
    // A row was built; its named children ("macro_action", "macro_delay") should notify.
    void rowCreated(QWidget* row);

private:
    void restore_delay_choice();

    template <class T>
    T* child(const char* name) const;
    QWidget* make_row(int index);
    void fill_row(QWidget* row, int index);
    int row_of(const QWidget* w) const;
    void fill_names();
    // The editing areas and the buttons that need a macro follow the selection.
    void update_enabled();
    void set_locked(bool locked);
    int fixed_delay_from_edit();

    macro::MacroLibrary library_;
    macro::ActionList actions_;
    macro::MacroRecorder recorder_;
    QPointer<QListWidget> names_;
    QPointer<QListWidget> rows_;
    bool found_ = false;
    int updating_ = 0;
};

// The macro page of a device page, or nullptr.
CMacroControlUI* find_macro_control(QWidget* page);

}  // namespace tellune::ui
