// The action list of the macro panel: a table model over the rows of the macro shown, and the in-place
// editors of its three columns (the key from the pick list, the direction, the delay in digits).
#pragma once

#include "macros/MacroPanelModel.h"

#include <QAbstractTableModel>
#include <QStyledItemDelegate>

#include <functional>

namespace tarvik::macros {

inline constexpr int kKeyColumn = 0;
inline constexpr int kDirectionColumn = 1;
inline constexpr int kDelayColumn = 2;

// The direction texts of an action: a press and a release.
QString directionText(uint16_t direction);

class MacroActionTable final : public QAbstractTableModel {
    Q_OBJECT

public:
    MacroActionTable(MacroPanelModel& model, QObject* parent = nullptr);

    void setHeaders(const QString& key, const QString& action, const QString& delay);
    // The rows changed in the panel model.
    void reload();

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // Key column: a list code; direction column: 0 or 1; delay column: the text typed.
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

signals:
    // A delay above the maximum was typed; it was stored as the maximum.
    void delayOverMax();
    void edited();

private:
    MacroPanelModel& model_;
    QString headers_[3];
};

class MacroActionDelegate final : public QStyledItemDelegate {
    Q_OBJECT

public:
    // delayEditStarting runs before a delay editor opens (recording stops then).
    explicit MacroActionDelegate(std::function<void()> delayEditStarting, QObject* parent = nullptr);

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;
    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const override;

private:
    std::function<void()> delayEditStarting_;
};

} // namespace tarvik::macros
