#pragma once
// Setting a control from the program's own data must not look like the user's change: these
// setters block the control's signals, so no notification reaches the main window. Each does
// nothing for a missing control.

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QComboBox>
#include <QSignalBlocker>

namespace tellune::ui {

inline void set_checked_quietly(QAbstractButton* button, bool on) {
    if (!button) return;
    const QSignalBlocker block(button);
    button->setChecked(on);
}

inline void set_value_quietly(QAbstractSlider* slider, int value) {
    if (!slider) return;
    const QSignalBlocker block(slider);
    slider->setValue(value);
}

// An index outside the list clears the selection.
inline void set_index_quietly(QComboBox* combo, int index) {
    if (!combo) return;
    const QSignalBlocker block(combo);
    combo->setCurrentIndex(index >= 0 && index < combo->count() ? index : -1);
}

}  // namespace tellune::ui
