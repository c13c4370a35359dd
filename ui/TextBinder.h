// The bridge from the language texts to widgets: a widget bound to a key takes that key's text as its
// text, tooltip or window title now and again after every language switch, for as long as it lives.
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tarvik::ui {

enum class TextRole {
    Text,        // a button's or label's text
    ToolTip,     // the tooltip (CPngButton: its own delayed tip)
    WindowTitle, // the window's title
    Name,        // the name assistive technology gives an icon-only control
};

class TextBinder : public QObject {
    Q_OBJECT

public:
    // The process-wide binder, re-texting on Language::changed.
    static TextBinder& instance();

    // Sets the text now and after every switch. A widget may have one key per role; binding a role again
    // replaces its key.
    void bind(QWidget& widget, std::string_view key, TextRole role = TextRole::Text);
    // The same with a text made from the key's text each time (for texts with a prefix or an argument).
    void bind(QWidget& widget, std::function<QString()> make, TextRole role = TextRole::Text);
    void unbind(QWidget& widget);

    // Applies every binding now.
    void retextAll();
    size_t bindingCount() const { return bindings_.size(); }

    static void apply(QWidget& widget, const QString& text, TextRole role);

private:
    TextBinder();
    struct Binding {
        QPointer<QWidget> widget;
        TextRole role;
        std::function<QString()> make;
    };
    void add(QWidget& widget, TextRole role, std::function<QString()> make);
    std::vector<Binding> bindings_;
};

} // namespace tarvik::ui
