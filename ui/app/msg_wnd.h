#pragma once
// The modal message box: a title, a text and one or two buttons, laid out by
// skin/XML/msg.ui. ShowMessage is the one entry the editors use.

#include <QDialog>
#include <QString>

class QLabel;
class QAbstractButton;

namespace tellune::ui {

class ControlFactory;

class CMsgWnd : public QDialog {
    Q_OBJECT
public:
    // Base size at 96 dots per inch.
    static constexpr int kWidth = 420;
    static constexpr int kHeight = 220;

    explicit CMsgWnd(QWidget* parent, ControlFactory* factory = nullptr);

    // Empty title or text keeps the layout's own. With `text_is_id` the text is a text id
    // resolved through the current language (and again after a language change).
    void set_title(const QString& title);
    void set_text(const QString& text, bool text_is_id);
    // 0: confirm only; 1: confirm and cancel; other values keep the layout.
    void set_buttons(int buttons);
    // Accepted: 48, 72, 96, 120, 144, 168, 192; others become 96 with the debug line
    // "MSG_WND DPI SET ERROR". An unchanged value does nothing.
    void set_scale(int dpi);
    int scale() const { return dpi_; }

    QLabel* title_label() const { return title_; }
    QLabel* text_label() const { return text_; }
    QAbstractButton* button(const QString& name) const;

private:
    void on_click(const QString& name);

    int dpi_ = 96;
    QLabel* title_ = nullptr;
    QLabel* text_ = nullptr;
};

// Shows a modal message over `parent`; 1 when the user confirmed, 0 otherwise.
int ShowMessage(QWidget* parent, const QString& title, const QString& text, int scale,
                bool text_id_flag, int buttons);

}  // namespace tellune::ui
