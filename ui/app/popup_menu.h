#pragma once
// Popup menus described by JSON files under the skin folder:
//   {"items": [{"name": "exit", "textid": "menu_exit"}, {"separator": true},
//              {"textid": "sub_title", "items": [...]}]}
// An item with "items" opens a submenu; every other item is a command named by "name".

#include <QString>
#include <functional>

class QMenu;
class QWidget;

namespace tellune::ui {

// The menu of `path` (nullptr when the file cannot be read). Choosing an item calls
// `command` with its name. Texts are resolved through the current language. Submenus nest
// at most a few levels deep. With `offered`, a command it refuses is left out (nothing in
// this program would answer it).
QMenu* build_menu(const QString& path, QWidget* parent, std::function<void(const QString&)> command,
                  std::function<bool(const QString&)> offered = {});

}  // namespace tellune::ui
