#include "macros/MacroPanel.h"

#include "macros/MacroActionList.h"
#include "macros/MacroMemoryBar.h"
#include "macros/TickCheckBox.h"
#include "ui/CPngButton.h"
#include "ui/Language.h"
#include "ui/SkinRect.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QRegularExpressionValidator>
#include <QTableView>

namespace tarvik::macros {

namespace {

// Room the meter takes from the bottom of the action list when the layout has no place for it.
constexpr int kMeterHeight = 44;
constexpr int kMeterGap = 4;
constexpr int kRowHeight = 26;

std::u16string u16(std::string_view s) {
    return std::u16string(s.begin(), s.end());
}

QFont skinFont(const char* face, double points) {
    QFont f{QString::fromLatin1(face)};
    f.setPointSizeF(points);
    return f;
}

} // namespace

MacroPanel::MacroPanel(QWidget& dialog, MacroPanelModel& model, Hooks hooks)
    : QObject(&dialog), dialog_(dialog), model_(model), hooks_(std::move(hooks)) {
    namePrompt_ = new QLabel(&dialog);
    namePrompt_->setObjectName(QStringLiteral("MARCO_NAME_SETTING"));
    namePrompt_->setFont(skinFont("Tahoma", 10.8));

    combo_ = new QComboBox(&dialog);
    combo_->setObjectName(QStringLiteral("FUNC_MACRO_LIST"));
    combo_->setEditable(true);
    // Typing renames the macro shown; Enter must not add an item of its own.
    combo_->setInsertPolicy(QComboBox::NoInsert);
    // What is typed is the name; a completion from another item's name would only be in the way.
    combo_->setCompleter(nullptr);
    combo_->setView(new QListView(combo_));
    combo_->setFont(skinFont("Verdana", 12));
    combo_->setMaxVisibleItems(12);

    add_ = &button("FUNC_MACRO_ADD");
    delete_ = &button("FUNC_MACRO_DELETE");

    cyclesPrompt_ = new QLabel(&dialog);
    cyclesPrompt_->setObjectName(QStringLiteral("FUNC_MACRO_CYCLES_PROMPT"));
    cyclesPrompt_->setFont(skinFont("Tahoma", 9));
    cycles_ = new QLineEdit(&dialog);
    cycles_->setObjectName(QStringLiteral("FUNC_MACRO_CYCLES"));
    cycles_->setFont(skinFont("Verdana", 12));
    cycles_->setAlignment(Qt::AlignCenter);
    cycles_->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,5}")), cycles_));

    table_ = new MacroActionTable(model_, this);
    list_ = new QTableView(&dialog);
    list_->setObjectName(QStringLiteral("FUNC_MACRO_LIST2"));
    list_->setModel(table_);
    list_->setItemDelegate(new MacroActionDelegate(
        [this] {
            if (model_.beginDelayEdit()) {
                refreshButtons();
                emit recordingChanged(false);
            }
        },
        list_));
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked |
                           QAbstractItemView::EditKeyPressed);
    list_->setShowGrid(false);
    list_->setAlternatingRowColors(true);
    list_->setWordWrap(false);
    list_->verticalHeader()->hide();
    list_->verticalHeader()->setDefaultSectionSize(kRowHeight);
    list_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    list_->horizontalHeader()->setHighlightSections(false);
    list_->horizontalHeader()->setStretchLastSection(true);
    list_->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    list_->setFont(skinFont("Tahoma", 9));

    record_ = &button("FUNC_MACRO_RECORD");
    record_->setCaptionOffsets(14, 0, 0, 0); // clear of the record mark at the left
    for (const char* key : {"FUNC_MACRO_DELETE2", "FUNC_MACRO_CLEAR", "FUNC_MACRO_UP_TOP", "FUNC_MACRO_UP",
                            "FUNC_MACRO_DOWN", "FUNC_MACRO_DOWN_BOTTOM"}) {
        rowButtons_.push_back(&button(key));
    }

    recordDelay_ = new TickCheckBox(&dialog);
    recordDelay_->setObjectName(QStringLiteral("FUNC_MACRO_RECORD_DELAY"));
    recordDelayLabel_ = new QLabel(&dialog);
    recordDelayLabel_->setObjectName(QStringLiteral("FUNC_MACRO_RECORD_DELAY2"));
    recordDelayLabel_->setFont(skinFont("Tahoma", 9));
    recordDelayLabel_->setBuddy(recordDelay_);

    meter_ = new MacroMemoryBar(&dialog);
    meter_->setObjectName(QStringLiteral("FUNC_MACRO_MEMORY"));

    controls_ = {namePrompt_, combo_,  add_,         delete_,           cyclesPrompt_, cycles_,
                 list_,       record_, recordDelay_, recordDelayLabel_, meter_};
    controls_.insert(controls_.end(), rowButtons_.begin(), rowButtons_.end());
    connectControls();
}

MacroPanel::~MacroPanel() = default;

ui::CPngButton& MacroPanel::button(const char* key) {
    auto* b = new ui::CPngButton(&dialog_);
    b->setObjectName(QString::fromLatin1(key));
    b->setFocusPolicy(Qt::NoFocus);
    b->setCaptionStyle(true, 9, QStringLiteral("Tahoma"), QColor(255, 255, 255));
    return *b;
}

void MacroPanel::connectControls() {
    connect(combo_, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (syncing_) {
            return;
        }
        model_.selectMacro(index);
        refresh();
    });
    connect(combo_->lineEdit(), &QLineEdit::textEdited, this, &MacroPanel::nameEdited);
    connect(add_, &QAbstractButton::clicked, this, [this] {
        const AddMacroOutcome out =
            model_.addMacro(text_ ? text_("MACRO_NEW_PREFIX").toStdU16String() : u"Macro");
        if (out.full && hooks_.notice) {
            hooks_.notice("MACRO_ERR_MAX", static_cast<unsigned>(kMaxMacros));
        }
        refresh();
    });
    connect(delete_, &QAbstractButton::clicked, this, [this] {
        model_.deleteMacro();
        refresh();
    });
    connect(record_, &QAbstractButton::clicked, this, &MacroPanel::toggleRecord);
    const std::pair<int, std::function<void()>> rowCommands[] = {
        {0, [this] { model_.deleteAction(); }},         {1, [this] { model_.clearActions(); }},
        {2, [this] { model_.moveRow(RowMove::Top); }},  {3, [this] { model_.moveRow(RowMove::Up); }},
        {4, [this] { model_.moveRow(RowMove::Down); }}, {5, [this] { model_.moveRow(RowMove::Bottom); }},
    };
    for (const auto& [i, command] : rowCommands) {
        connect(rowButtons_[static_cast<size_t>(i)], &QAbstractButton::clicked, this, [this, i, command] {
            command();
            refreshRows();
            refreshMeter();
            if (i >= 2) {
                list_->setFocus();
            }
        });
    }
    connect(cycles_, &QLineEdit::textEdited, this, [this](const QString& typed) {
        if (!hooks_.correctCycles) {
            model_.setCyclesText(typed.toStdU16String());
            return;
        }
        const QString shown = QString::fromStdU16String(hooks_.correctCycles(typed.toStdU16String()));
        if (shown != typed) {
            cycles_->setText(shown);
        }
    });
    connect(recordDelay_, &QAbstractButton::clicked, this, [this] {
        if (hooks_.toggleRecordDelays) {
            hooks_.toggleRecordDelays();
        }
        recordDelay_->setChecked(model_.recordDelays() == 1);
    });
    connect(list_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (!syncing_) {
                    model_.selectRow(current.isValid() ? current.row() : -1);
                }
            });
    connect(table_, &MacroActionTable::edited, this, [this] { refreshMeter(); });
    // Shown once the editor has closed, not from inside it.
    connect(
        table_, &MacroActionTable::delayOverMax, this,
        [this] {
            if (hooks_.notice) {
                hooks_.notice("MACRO_ACTION_ERR_DELAY_MAX", kMaxDelayMs);
            }
        },
        Qt::QueuedConnection);
}

void MacroPanel::place(const IniFile& layout, const ui::StatePictures& macroSet) {
    ui::placeControl(*namePrompt_, layout, u"MARCO_NAME_SETTING");
    ui::placeControl(*combo_, layout, u"FUNC_MACRO_LIST");
    ui::placeControl(*cyclesPrompt_, layout, u"FUNC_MACRO_CYCLES_PROMPT");
    ui::placeControl(*cycles_, layout, u"FUNC_MACRO_CYCLES");
    ui::placeControl(*recordDelay_, layout, u"FUNC_MACRO_RECORD_DELAY");
    ui::placeControl(*recordDelayLabel_, layout, u"FUNC_MACRO_RECORD_DELAY2");
    for (ui::CPngButton* b : {add_, delete_, record_}) {
        ui::placeImageButton(*b, layout, b->objectName().toStdU16String(), macroSet);
    }
    for (ui::CPngButton* b : rowButtons_) {
        ui::placeImageButton(*b, layout, b->objectName().toStdU16String(), macroSet);
    }
    const ui::SkinRect list = ui::readSkinRect(layout, u"FUNC_MACRO_LIST2");
    if (layout.contains(ui::kButtonInfoSection, u"FUNC_MACRO_MEMORY")) {
        ui::placeControl(*list_, layout, u"FUNC_MACRO_LIST2");
        ui::placeControl(*meter_, layout, u"FUNC_MACRO_MEMORY");
    } else {
        const int listHeight = std::max(list.h - kMeterHeight - kMeterGap, kRowHeight * 2);
        list_->setGeometry(list.x, list.y, list.w, listHeight);
        meter_->setGeometry(list.x, list.y + listHeight + kMeterGap, list.w, list.h - listHeight - kMeterGap);
    }
    list_->horizontalHeader()->resizeSection(kKeyColumn, list.w * 40 / 100);
    list_->horizontalHeader()->resizeSection(kDirectionColumn, list.w * 24 / 100);
}

void MacroPanel::setTexts(const TextLookup& text) {
    text_ = text;
    if (!text_) {
        return;
    }
    namePrompt_->setText(text_("MACRO_NAME_SETTING"));
    cyclesPrompt_->setText(text_("MACRO_CYCLES"));
    recordDelayLabel_->setText(text_("RECORD_DELAY"));
    table_->setHeaders(text_("MACRO_KEYS_TISHI"), text_("MACRO_ACTION_TISHI"), text_("MACRO_DELAY_MS"));
    list_->setAccessibleName(ui::text("ACC_MACRO_ACTIONS"));
    const std::pair<size_t, const char*> rowTexts[] = {{0, "A_DELETE"}, {1, "A_CLEAR"}, {2, "A_TOP"},
                                                       {3, "A_UP"},     {4, "A_DOWN"},  {5, "A_BOTTOM"}};
    for (const auto& [i, key] : rowTexts) {
        rowButtons_[i]->setText(text_(key));
    }
    record_->setText(text_("A_RECORD"));
    record_->setCaptionStyle(true, 8, QStringLiteral("Tahoma"), QColor(255, 255, 255));
}

void MacroPanel::setShown(bool shown) {
    for (QWidget* w : controls_) {
        w->setVisible(shown);
    }
}

void MacroPanel::refresh() {
    refreshCombo();
    refreshRows();
    refreshButtons();
    refreshMeter();
    syncing_ = true;
    if (cycles_->text().toStdU16String() != model_.cyclesText()) {
        cycles_->setText(QString::fromStdU16String(model_.cyclesText()));
    }
    recordDelay_->setChecked(model_.recordDelays() == 1);
    syncing_ = false;
}

void MacroPanel::refreshCombo() {
    syncing_ = true;
    bool same = combo_->count() == static_cast<int>(model_.macroCount());
    for (int i = 0; same && i < combo_->count(); ++i) {
        same = combo_->itemText(i).toStdU16String() == model_.macro(static_cast<size_t>(i)).name();
    }
    if (!same) {
        combo_->clear();
        for (size_t i = 0; i < model_.macroCount(); ++i) {
            combo_->addItem(QString::fromStdU16String(model_.macro(i).name()));
        }
    }
    combo_->setCurrentIndex(model_.selected());
    if (model_.selected() < 0) {
        combo_->setEditText(QString());
    }
    combo_->setEnabled(model_.macroListEnabled());
    syncing_ = false;
}

void MacroPanel::refreshRows() {
    syncing_ = true;
    table_->reload();
    const int row = model_.selectedRow();
    if (row >= 0) {
        const QModelIndex index = table_->index(row, kKeyColumn);
        list_->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                            QItemSelectionModel::Rows);
        list_->scrollTo(index);
    }
    syncing_ = false;
}

void MacroPanel::refreshButtons() {
    const bool listEnabled = model_.macroListEnabled();
    add_->setEnabled(listEnabled);
    delete_->setEnabled(listEnabled);
    combo_->setEnabled(listEnabled);
    const bool actions = model_.actionButtonsEnabled();
    record_->setEnabled(actions);
    for (ui::CPngButton* b : rowButtons_) {
        b->setEnabled(actions);
    }
    record_->setSelected(model_.recording());
}

void MacroPanel::refreshMeter() {
    const MacroMemoryMeter m =
        measureMacroMemory(model_.imageSizes(), hooks_.capacity ? hooks_.capacity() : 0);
    auto text = [this](const char* key) { return text_ ? text_(key).toStdU16String() : u16(key); };
    const std::u16string usage = fillNumbers(
        text(m.state == MacroMemoryState::CapacityUnknown ? "MACRO_MEMORY_UNKNOWN" : "MACRO_MEMORY_USED"),
        {m.used, m.capacity});
    QString shown = QString::fromStdU16String(usage);
    if (m.state == MacroMemoryState::NamesDropped) {
        shown += QLatin1Char('\n') + QString::fromStdU16String(text("EXTRA_PROFILE_SPACE_TIGHT")).trimmed();
    } else if (m.state == MacroMemoryState::TooLong) {
        // The download's own words, so the user meets them here first.
        shown += QLatin1Char('\n') + QString::fromStdU16String(text("EXTRA_MACRO_TOO_LONG")).simplified();
    }
    meter_->setMeter(m, shown);
}

void MacroPanel::toggleRecord() {
    if (model_.recording()) {
        stopRecording();
        return;
    }
    if (!model_.startRecording(hooks_.clock ? hooks_.clock() : 0)) {
        return;
    }
    if (text_) {
        record_->setText(text_("MACRO_ACTION_STOP_RECORD"));
    }
    refreshButtons();
    emit recordingChanged(true);
}

void MacroPanel::stopRecording() {
    const bool was = model_.recording();
    model_.stopRecording();
    if (text_) {
        record_->setText(text_("MACRO_ACTION_RECORD"));
    }
    refreshButtons();
    if (was) {
        emit recordingChanged(false);
    }
}

HookResult MacroPanel::keyMessage(uint32_t vk, uint32_t lParam) {
    const size_t before = model_.rows().size();
    const HookResult r = model_.recordKeyMessage(vk, lParam, hooks_.clock ? hooks_.clock() : 0);
    if (model_.rows().size() != before) {
        refreshRows();
        refreshMeter();
    }
    return r;
}

HookResult MacroPanel::lowLevelKey(uint32_t vk, bool keyDown) {
    const size_t before = model_.rows().size();
    const HookResult r = model_.recordLowLevelKey(vk, keyDown, hooks_.clock ? hooks_.clock() : 0);
    if (model_.rows().size() != before) {
        refreshRows();
        refreshMeter();
    }
    return r;
}

void MacroPanel::nameEdited(const QString& typed) {
    if (syncing_) {
        return;
    }
    QLineEdit* edit = combo_->lineEdit();
    const int cursor = edit->cursorPosition();
    const bool wasEmpty = model_.macroCount() == 0;
    const QString stored = QString::fromStdU16String(model_.nameTyped(typed.toStdU16String()));
    syncing_ = true;
    if (wasEmpty && model_.macroCount() > 0) {
        combo_->addItem(stored);
        combo_->setCurrentIndex(0);
        refreshRows();
        refreshButtons();
        cycles_->setText(QString::fromStdU16String(model_.cyclesText()));
    } else if (model_.selected() >= 0) {
        combo_->setItemText(model_.selected(), stored);
    }
    if (edit->text() != stored) {
        edit->setText(stored);
    }
    edit->setCursorPosition(std::min(cursor, static_cast<int>(stored.size())));
    syncing_ = false;
    refreshMeter();
}

} // namespace tarvik::macros
