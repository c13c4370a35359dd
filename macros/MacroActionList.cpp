#include "macros/MacroActionList.h"

#include "keyboard/KeyTable.h"

#include <QColor>
#include <QComboBox>
#include <QLineEdit>
#include <QRegularExpressionValidator>

namespace tarvik::macros {

namespace {

// The key and direction columns are drawn in grey text: the delay is what users edit most.
const QColor kGreyText(0x9a, 0xa0, 0xa9);
// Up to six digits, so that a value above the maximum can be typed and is answered.
const QRegularExpression kDigits(QStringLiteral("[0-9]{0,6}"));

QString qs(const std::u16string& s) {
    return QString::fromStdU16String(s);
}

} // namespace

QString directionText(uint16_t direction) {
    return direction == kRelease ? QStringLiteral("  \u2191") : QStringLiteral("\u2193");
}

MacroActionTable::MacroActionTable(MacroPanelModel& model, QObject* parent)
    : QAbstractTableModel(parent), model_(model) {}

void MacroActionTable::setHeaders(const QString& key, const QString& action, const QString& delay) {
    headers_[0] = key;
    headers_[1] = action;
    headers_[2] = delay;
    emit headerDataChanged(Qt::Horizontal, 0, 2);
}

void MacroActionTable::reload() {
    beginResetModel();
    endResetModel();
}

int MacroActionTable::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(model_.rows().size());
}

int MacroActionTable::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 3;
}

QVariant MacroActionTable::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || static_cast<size_t>(index.row()) >= model_.rows().size()) {
        return {};
    }
    const MacroAction& a = model_.rows()[static_cast<size_t>(index.row())];
    const int column = index.column();
    switch (role) {
    case Qt::DisplayRole:
        if (column == kKeyColumn) {
            return qs(keyboard::KeyName(a.key));
        }
        if (column == kDirectionColumn) {
            return directionText(a.direction);
        }
        return QString::number(a.delayMs);
    case Qt::EditRole:
        if (column == kKeyColumn) {
            const uint16_t listCode = keyboard::ListCodeFromKeyCode(a.key);
            return listCode < keyboard::KeyPickList().size() ? int(listCode) : -1;
        }
        if (column == kDirectionColumn) {
            return int(a.direction);
        }
        return QString::number(a.delayMs);
    case Qt::ForegroundRole:
        if (column != kDelayColumn) {
            return kGreyText;
        }
        return {};
    case Qt::TextAlignmentRole:
        return column == kDelayColumn ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
                                      : QVariant(Qt::AlignLeft | Qt::AlignVCenter);
    default:
        return {};
    }
}

QVariant MacroActionTable::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < 3) {
        return headers_[section];
    }
    if (orientation == Qt::Horizontal && role == Qt::TextAlignmentRole) {
        return section == kDelayColumn ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
                                       : QVariant(Qt::AlignLeft | Qt::AlignVCenter);
    }
    return QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags MacroActionTable::flags(const QModelIndex& index) const {
    if (!index.isValid()) {
        return Qt::NoItemFlags;
    }
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
}

bool MacroActionTable::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !index.isValid()) {
        return false;
    }
    const auto row = static_cast<size_t>(index.row());
    bool changed = false;
    switch (index.column()) {
    case kKeyColumn: {
        const int listCode = value.toInt();
        changed = listCode >= 0 && model_.setActionKey(row, static_cast<uint16_t>(listCode));
        break;
    }
    case kDirectionColumn: {
        const int direction = value.toInt();
        changed = direction >= 0 && model_.setActionDirection(row, static_cast<uint16_t>(direction));
        break;
    }
    case kDelayColumn: {
        const DelayEditOutcome out = model_.editDelay(row, value.toString().toStdU16String());
        changed = out.changed;
        if (out.overMax) {
            emit delayOverMax();
        }
        break;
    }
    default:
        break;
    }
    if (changed) {
        emit dataChanged(index, index);
        emit edited();
    }
    return changed;
}

MacroActionDelegate::MacroActionDelegate(std::function<void()> delayEditStarting, QObject* parent)
    : QStyledItemDelegate(parent), delayEditStarting_(std::move(delayEditStarting)) {}

QWidget* MacroActionDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&,
                                           const QModelIndex& index) const {
    if (index.column() == kDelayColumn) {
        if (delayEditStarting_) {
            delayEditStarting_();
        }
        auto* edit = new QLineEdit(parent);
        edit->setObjectName(QStringLiteral("DELAY_EDITOR"));
        edit->setValidator(new QRegularExpressionValidator(kDigits, edit));
        edit->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        return edit;
    }
    auto* combo = new QComboBox(parent);
    if (index.column() == kKeyColumn) {
        combo->setObjectName(QStringLiteral("KEY_EDITOR"));
        for (size_t code = 0; code < keyboard::KeyPickList().size(); ++code) {
            combo->addItem(qs(keyboard::KeyNameFromListCode(static_cast<uint16_t>(code))));
        }
        combo->setMaxVisibleItems(14);
    } else {
        combo->setObjectName(QStringLiteral("DIRECTION_EDITOR"));
        combo->addItem(directionText(kPress));
        combo->addItem(directionText(kRelease));
    }
    // A choice is taken as soon as it is made, as a drop-down list in a report list does.
    connect(combo, &QComboBox::activated, this, [this, combo] {
        auto* self = const_cast<MacroActionDelegate*>(this);
        emit self->commitData(combo);
        emit self->closeEditor(combo);
    });
    return combo;
}

void MacroActionDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
    const QVariant value = index.data(Qt::EditRole);
    if (auto* combo = qobject_cast<QComboBox*>(editor)) {
        combo->setCurrentIndex(value.toInt());
    } else if (auto* edit = qobject_cast<QLineEdit*>(editor)) {
        edit->setText(value.toString());
        edit->selectAll();
    }
}

void MacroActionDelegate::setModelData(QWidget* editor, QAbstractItemModel* model,
                                       const QModelIndex& index) const {
    if (auto* combo = qobject_cast<QComboBox*>(editor)) {
        if (combo->currentIndex() >= 0) {
            model->setData(index, combo->currentIndex(), Qt::EditRole);
        }
    } else if (auto* edit = qobject_cast<QLineEdit*>(editor)) {
        model->setData(index, edit->text(), Qt::EditRole);
    }
}

void MacroActionDelegate::updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                                               const QModelIndex&) const {
    editor->setGeometry(option.rect);
}

} // namespace tarvik::macros
