#include "ui/TextBinder.h"

#include "ui/CPngButton.h"
#include "ui/Language.h"

#include <QAbstractButton>
#include <QLabel>

#include <algorithm>

namespace tarvik::ui {

TextBinder& TextBinder::instance() {
    static TextBinder* binder = new TextBinder; // as long as the process: windows may outlive main's scope
    return *binder;
}

TextBinder::TextBinder() {
    connect(&Language::instance(), &Language::changed, this, &TextBinder::retextAll);
}

void TextBinder::apply(QWidget& widget, const QString& text, TextRole role) {
    switch (role) {
    case TextRole::Text:
        if (auto* b = qobject_cast<QAbstractButton*>(&widget)) {
            b->setText(text);
        } else if (auto* l = qobject_cast<QLabel*>(&widget)) {
            l->setText(text);
        } else {
            widget.setWindowTitle(text);
        }
        break;
    case TextRole::ToolTip:
        if (auto* b = qobject_cast<CPngButton*>(&widget)) {
            b->setTipText(text);
        } else {
            widget.setToolTip(text);
        }
        break;
    case TextRole::WindowTitle:
        widget.setWindowTitle(text);
        break;
    case TextRole::Name:
        widget.setAccessibleName(text);
        break;
    }
}

void TextBinder::add(QWidget& widget, TextRole role, std::function<QString()> make) {
    std::erase_if(bindings_, [&](const Binding& b) {
        return b.widget.isNull() || (b.widget == &widget && b.role == role);
    });
    apply(widget, make(), role);
    bindings_.push_back(Binding{&widget, role, std::move(make)});
}

void TextBinder::bind(QWidget& widget, std::string_view key, TextRole role) {
    add(widget, role, [k = std::string(key)] { return text(k); });
}

void TextBinder::bind(QWidget& widget, std::function<QString()> make, TextRole role) {
    add(widget, role, std::move(make));
}

void TextBinder::unbind(QWidget& widget) {
    std::erase_if(bindings_, [&](const Binding& b) { return b.widget.isNull() || b.widget == &widget; });
}

void TextBinder::retextAll() {
    std::erase_if(bindings_, [](const Binding& b) { return b.widget.isNull(); });
    for (const Binding& b : bindings_) {
        apply(*b.widget, b.make(), b.role);
    }
}

} // namespace tarvik::ui
