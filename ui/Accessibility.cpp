#include "ui/Accessibility.h"

#include "ui/CBitmapSlider.h"
#include "ui/CPngButton.h"
#include "ui/CSkinColorBtn.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QAccessibleWidget>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

namespace tarvik::ui {

namespace {

constexpr const char* kChoiceProperty = "tarvikChoice";

class AccessibleSlider : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit AccessibleSlider(CBitmapSlider* slider) : QAccessibleWidget(slider, QAccessible::Slider) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::ValueInterface) {
            return static_cast<QAccessibleValueInterface*>(this);
        }
        return QAccessibleWidget::interface_cast(type);
    }

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Value) {
            return QString::number(slider()->position());
        }
        return QAccessibleWidget::text(t);
    }

    QVariant currentValue() const override { return slider()->position(); }
    // Moved as the user would move it, so the window hears of it.
    void setCurrentValue(const QVariant& value) override { slider()->moveByUser(value.toInt()); }
    QVariant maximumValue() const override { return slider()->maximum(); }
    QVariant minimumValue() const override { return slider()->minimum(); }
    QVariant minimumStepSize() const override { return 1; }

private:
    CBitmapSlider* slider() const { return static_cast<CBitmapSlider*>(widget()); }
};

// The image buttons. One that stands for one choice of several (a profile, a report rate) is a radio
// button to the reader, checked while it is the selected one. A button that shows only a picture and has
// no name of its own is named by its tip.
class AccessibleImageButton : public QAccessibleWidget {
public:
    explicit AccessibleImageButton(CPngButton* button)
        : QAccessibleWidget(button, button->property(kChoiceProperty).toBool() ? QAccessible::RadioButton
                                                                               : QAccessible::Button) {}

    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        if (role() == QAccessible::RadioButton) {
            s.checkable = true;
            s.checked = button()->isSelected();
        }
        s.pressed = button()->isDown() || button()->isLatched();
        return s;
    }
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name && button()->accessibleName().isEmpty()) {
            return button()->text().isEmpty() ? button()->tipText() : button()->text();
        }
        if (t == QAccessible::Description) {
            const QString described = QAccessibleWidget::text(t);
            const std::optional<int> colour = button()->spokenColour();
            if (!colour) {
                return described;
            }
            return described.isEmpty() ? colourAsText(*colour)
                                       : described + QStringLiteral(", ") + colourAsText(*colour);
        }
        return QAccessibleWidget::text(t);
    }
    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString& name) override {
        if (name == pressAction() && button()->isEnabled()) {
            button()->click();
        }
    }

private:
    CPngButton* button() const { return static_cast<CPngButton*>(widget()); }
};

// A drop-down list. Qt's own reader view of it on this desktop gives the current entry as its name, so a
// list reads as "Wave" rather than "Lighting mode": here a list with a name of its own keeps it and
// gives the entry as its value.
class AccessibleNamedList : public QAccessibleWidget {
public:
    explicit AccessibleNamedList(QComboBox* list) : QAccessibleWidget(list, QAccessible::ComboBox) {
        addControllingSignal(QStringLiteral("activated(int)"));
    }

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Value || (t == QAccessible::Name && list()->accessibleName().isEmpty())) {
            return list()->isEditable() && list()->lineEdit() != nullptr ? list()->lineEdit()->text()
                                                                         : list()->currentText();
        }
        return QAccessibleWidget::text(t);
    }
    // The entries, and the field of an editable list: where a reader finds the entry that is selected.
    int childCount() const override { return list()->isEditable() ? 2 : 1; }
    QAccessibleInterface* child(int index) const override {
        if (index == 0) {
            return QAccessible::queryAccessibleInterface(list()->view());
        }
        if (index == 1 && list()->isEditable()) {
            return QAccessible::queryAccessibleInterface(list()->lineEdit());
        }
        return nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        if (child == nullptr) {
            return -1;
        }
        if (child->object() == list()->view()) {
            return 0;
        }
        return list()->isEditable() && child->object() == list()->lineEdit() ? 1 : -1;
    }
    QStringList actionNames() const override { return {showMenuAction(), pressAction()}; }
    void doAction(const QString& name) override {
        if ((name == showMenuAction() || name == pressAction()) && list()->isEnabled()) {
            list()->showPopup();
        }
    }

private:
    QComboBox* list() const { return static_cast<QComboBox*>(widget()); }
};

QAccessibleInterface* skinnedControl(const QString& className, QObject* object) {
    if (className == QLatin1String("tarvik::ui::CPngButton") && object->isWidgetType()) {
        return new AccessibleImageButton(static_cast<CPngButton*>(object));
    }
    if (className == QLatin1String("tarvik::ui::CBitmapSlider") && object->isWidgetType()) {
        return new AccessibleSlider(static_cast<CBitmapSlider*>(object));
    }
    if (className == QLatin1String("QComboBox") && object->isWidgetType()) {
        return new AccessibleNamedList(static_cast<QComboBox*>(object));
    }
    return nullptr;
}

} // namespace

void markAsChoice(QWidget& button) {
    button.setProperty(kChoiceProperty, true);
}

void installAccessibleControls() {
    static bool installed = false;
    if (!installed) {
        QAccessible::installFactory(skinnedControl);
        installed = true;
    }
}

void announce(QWidget& window, const QString& text) {
    // One invisible label per window carries the words: a reader speaks an alert's name.
    auto* label = window.findChild<QLabel*>(QStringLiteral("ANNOUNCEMENT"), Qt::FindDirectChildrenOnly);
    if (label == nullptr) {
        label = new QLabel(&window);
        label->setObjectName(QStringLiteral("ANNOUNCEMENT"));
        label->setGeometry(0, 0, 1, 1);
        label->lower(); // under every control: it is there to be read, not seen
        label->show();
    }
    label->setText(text);
    label->setAccessibleName(text);
    if (QAccessible::isActive()) {
        QAccessibleEvent nameChanged(label, QAccessible::NameChanged);
        QAccessible::updateAccessibility(&nameChanged);
        QAccessibleEvent alert(label, QAccessible::Alert);
        QAccessible::updateAccessibility(&alert);
    }
}

} // namespace tarvik::ui
