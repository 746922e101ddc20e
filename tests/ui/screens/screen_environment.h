#pragma once
// The screens the geometry tests run on: one offscreen screen per size and pixel ratio, side
// by side, set up before the QApplication exists.

#include <QString>
#include <ostream>
#include <vector>

class QScreen;

namespace tellune::ui::test {

struct ScreenSpec {
    int width, height;  // logical pixels, what the window sees
    int ratio;          // device pixels per logical pixel
    QString name() const;
};

// How test names show it: "1280x720@2".
inline void PrintTo(const ScreenSpec& spec, std::ostream* out) {
    *out << spec.name().toStdString();
}

// Every size the window must fit: 1280 x 720 to 3840 x 2160, each at ratio 1 and 2.
const std::vector<ScreenSpec>& screen_specs();

// The screen made for `spec`, or nullptr.
QScreen* screen_for(const ScreenSpec& spec);

}  // namespace tellune::ui::test
