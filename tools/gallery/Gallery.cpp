#include "tools/gallery/Gallery.h"

#include "app/CTarvikDlg.h"
#include "device/SerialWorker.h"
#include "keyboard/KeyAssignment.h"
#include "tools/gallery/LightingStandIn.h"
#include "ui/DarkStyle.h"
#include "ui/Language.h"

#include "platform/IniFile.h"
#include "platform/Utf.h"
#include "ui/CBaseDialog.h"
#include "ui/CBitmapSlider.h"
#include "ui/CPngButton.h"
#include "ui/CSkinColorBtn.h"
#include "ui/SkinLayout.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <cmath>
#include <map>
#include <vector>

namespace tarvik::gallery {

using ui::CPngButton;
using ui::StatePictures;

namespace {

QString path(const std::filesystem::path& p) {
    return QString::fromStdString(p.string());
}
std::u16string u16(const QString& s) {
    return s.toStdU16String();
}

// A skinned dialog whose controls are built once, at its first initialisation.
class SkinDialog : public ui::CBaseDialog {
public:
    SkinDialog(int templateId, const std::filesystem::path& skins, const char* layout, QStringList& problems)
        : CBaseDialog(templateId, nullptr, skins / layout, skins), problems_(problems) {
        setStyleSheet(ui::darkStyleSheet());
    }

    CPngButton& button(const char* key) { return *buttons_.at(key); }
    template <typename W> W& widget(const char* key) { return *static_cast<W*>(widgets_.at(key)); }

protected:
    virtual void build() = 0;

    void onInitDialog() override {
        CBaseDialog::onInitDialog();
        if (backgroundPicture().isNull()) {
            problems_ << QStringLiteral("%1: no background or mask").arg(path(layoutFile()));
        }
        if (!built_) {
            built_ = true;
            build();
        }
    }

    std::vector<QPixmap> pictures(const std::vector<std::string>& names) {
        std::vector<QPixmap> out;
        ui::loadRequiredPictures(pictureFolder(), names, out, [this](const std::filesystem::path& missing) {
            problems_ << QStringLiteral("missing picture %1").arg(path(missing));
        });
        return out;
    }

    CPngButton& imageButton(const char* key, const StatePictures& set) {
        if (!layout().contains(ui::kButtonInfoSection, u16(QString::fromLatin1(key)))) {
            problems_ << QStringLiteral("%1: no key %2").arg(path(layoutFile()), QString::fromLatin1(key));
        }
        auto* b = new CPngButton(this);
        b->setObjectName(QString::fromLatin1(key));
        ui::placeImageButton(*b, layout(), u16(QString::fromLatin1(key)), set);
        buttons_[key] = b;
        return *b;
    }

    template <typename W> W& control(const char* key, W* w) {
        if (!layout().contains(ui::kButtonInfoSection, u16(QString::fromLatin1(key)))) {
            problems_ << QStringLiteral("%1: no key %2").arg(path(layoutFile()), QString::fromLatin1(key));
        }
        ui::placeControl(*w, layout(), u16(QString::fromLatin1(key)));
        widgets_[key] = w;
        return *w;
    }

    QLabel& pictureControl(const char* key, const char* file) {
        auto* l = new QLabel(this);
        setPicture(*l, file);
        return control(key, l);
    }

    void setPicture(QLabel& l, const char* file) {
        const QPixmap p(path(pictureFolder() / file));
        if (p.isNull()) {
            problems_ << QStringLiteral("missing picture %1").arg(QString::fromLatin1(file));
        }
        l.setPixmap(p);
    }

    QLabel& textControl(const char* key, const QString& text, double points = 9) {
        auto* l = new QLabel(text, this);
        QFont f(QStringLiteral("Tahoma"));
        f.setPointSizeF(points);
        l->setFont(f);
        return control(key, l);
    }

    static void caption(CPngButton& b, const QString& text, double points = 9, const QString& face = "Tahoma",
                        QColor colour = QColor(255, 255, 255)) {
        b.setText(text);
        b.setCaptionStyle(true, points, face, colour);
    }

    QStringList& problems_;
    std::map<std::string, CPngButton*> buttons_;
    std::map<std::string, QWidget*> widgets_;

private:
    bool built_ = false;
};

// ---- Composite key dialog ----

class CompositeDialog : public SkinDialog {
public:
    enum Panel { Key, Macro, Media, Function };

    CompositeDialog(const std::filesystem::path& skins, QStringList& problems)
        : SkinDialog(134, skins, "Composite.ini", problems) {}

    void showPanel(Panel panel, bool macroOnly) {
        const StatePictures& set = panel == Macro      ? macro_
                                   : panel == Media    ? media_
                                   : panel == Function ? function_
                                                       : key_;
        ui::placeImageButton(button("CONTROL_MASK"), layout(), u"CONTROL_MASK", set);
        button("CONTROL_MASK").setEnabled(false);
        const std::pair<const char*, Panel> tabs[] = {{"CONTROL_KEY", Key},
                                                      {"CONTROL_MACRO", Macro},
                                                      {"CONTROL_MEDIA", Media},
                                                      {"CONTROL_FUNCTION", Function}};
        for (const auto& [key, p] : tabs) {
            button(key).setSelected(p == panel);
        }
        const std::pair<Panel, std::vector<const char*>> shown[] = {
            {Key, {"TISHI_SINGLE_STATIC", "FUNC_KEY_INPUT"}},
            {Macro,
             {"MARCO_NAME_SETTING", "FUNC_MACRO_LIST", "FUNC_MACRO_LIST2", "FUNC_MACRO_CYCLES",
              "FUNC_MACRO_CYCLES_PROMPT", "FUNC_MACRO_RECORD_DELAY", "FUNC_MACRO_RECORD_DELAY2"}},
            {Media, {"MEDIA_SETTING_TISHI", "FUNC_MEDIA_SELECT"}},
            {Function, {"FUNCTION_KEY_SETTING_TISHI", "FUNC_FUNCTION_SELECT"}},
        };
        for (const auto& [p, list] : shown) {
            for (const char* k : list) {
                widgets_.at(k)->setVisible(p == panel);
            }
        }
        for (const char* k :
             {"FUNC_MACRO_DELETE", "FUNC_MACRO_ADD", "FUNC_MACRO_UP_TOP", "FUNC_MACRO_UP", "FUNC_MACRO_DOWN",
              "FUNC_MACRO_DOWN_BOTTOM", "FUNC_MACRO_DELETE2", "FUNC_MACRO_CLEAR", "FUNC_MACRO_RECORD"}) {
            button(k).setVisible(panel == Macro);
        }
        if (macroOnly) {
            widget<QLabel>("KEY_SETTING").setText(QStringLiteral("Macro editing"));
            for (const char* k :
                 {"CONTROL_KEY", "CONTROL_MEDIA", "CONTROL_FUNCTION", "CONTROL_CLEAR", "CONTROL_TITLE"}) {
                ui::placeImageButton(button(k), layout(), u16(QString::fromLatin1(k)), macro2_);
                button(k).setEnabled(false);
                if (std::string(k) != "CONTROL_TITLE" && std::string(k) != "CONTROL_CLEAR") {
                    button(k).setText(QString());
                }
            }
        }
    }

protected:
    void build() override {
        pics_ =
            pictures({"key_normal.jpg", "key_over.jpg", "key_down.jpg", "macro_normal.jpg", "macro_over.jpg",
                      "macro_down.jpg", "macro_disable.jpg", "macro2_normal.jpg", "macro2_over.jpg",
                      "macro2_down.jpg", "macro2_disable.jpg", "media_normal.jpg", "media_over.jpg",
                      "media_down.jpg", "function_normal.jpg", "function_over.jpg", "function_down.jpg"});
        // The tab of the shown panel is drawn pressed: selected uses the pressed picture.
        key_ = {&pics_[0], &pics_[1], &pics_[2], &pics_[0], &pics_[2]};
        macro_ = {&pics_[3], &pics_[4], &pics_[5], &pics_[6], &pics_[5]};
        macro2_ = {&pics_[7], &pics_[8], &pics_[9], &pics_[10], &pics_[9]};
        media_ = {&pics_[11], &pics_[12], &pics_[13], &pics_[11], &pics_[13]};
        function_ = {&pics_[14], &pics_[15], &pics_[16], &pics_[14], &pics_[16]};

        imageButton("CONTROL_MASK", key_).setEnabled(false);
        imageButton("CONTROL_TITLE", key_).setEnabled(false);
        const std::pair<const char*, const char*> tabs[] = {{"CONTROL_KEY", "Single Key"},
                                                            {"CONTROL_MACRO", "Macro"},
                                                            {"CONTROL_MEDIA", "Multimedia"},
                                                            {"CONTROL_FUNCTION", "Function"}};
        for (const auto& [key, text] : tabs) {
            caption(imageButton(key, key_), QString::fromLatin1(text));
        }
        imageButton("CONTROL_CLEAR", key_);
        imageButton("CONTROL_OSK", key_);
        caption(imageButton("CONTROL_OK", key_), QStringLiteral("OK"));
        caption(imageButton("CONTROL_CANCEL", key_), QStringLiteral("Cancel"));
        imageButton("FUNC_MACRO_ADD", macro_);
        imageButton("FUNC_MACRO_DELETE", macro_);
        const std::pair<const char*, const char*> actions[] = {
            {"FUNC_MACRO_UP_TOP", "Top"},     {"FUNC_MACRO_UP", "Up"},
            {"FUNC_MACRO_DOWN", "Down"},      {"FUNC_MACRO_DOWN_BOTTOM", "Bottom"},
            {"FUNC_MACRO_DELETE2", "Delete"}, {"FUNC_MACRO_CLEAR", "Clear"}};
        for (const auto& [key, text] : actions) {
            caption(imageButton(key, macro_), QString::fromLatin1(text));
        }
        caption(imageButton("FUNC_MACRO_RECORD", macro_), QStringLiteral("Record"), 8);

        textControl("KEY_SETTING", QStringLiteral("Key settings"), 10.8);
        textControl("TISHI_SINGLE_STATIC", QStringLiteral("Press the key that this button should send"),
                    10.8);
        textControl("MARCO_NAME_SETTING", QStringLiteral("Macro"), 10.8);
        textControl("MEDIA_SETTING_TISHI", QStringLiteral("Choose a media function"), 10.8);
        textControl("FUNCTION_KEY_SETTING_TISHI", QStringLiteral("Choose a function"), 10.8);
        auto* input = new QLineEdit(QStringLiteral("Caps Lock"), this);
        input->setReadOnly(true);
        input->setAlignment(Qt::AlignCenter);
        input->setFont(QFont(QStringLiteral("Verdana"), 18));
        control("FUNC_KEY_INPUT", input);
        auto combo = [&](const char* key, QStringList items) {
            auto* c = new QComboBox(this);
            c->addItems(items);
            c->setFont(QFont(QStringLiteral("Verdana"), 12));
            control(key, c);
        };
        combo("FUNC_MEDIA_SELECT", {QStringLiteral("Play/Pause"), QStringLiteral("Next Track")});
        combo("FUNC_FUNCTION_SELECT", {QStringLiteral("Copy"), QStringLiteral("Paste")});
        combo("FUNC_MACRO_LIST", {QStringLiteral("Macro 1"), QStringLiteral("Build order")});
        auto* list = new QTreeWidget(this);
        list->setColumnCount(3);
        list->setHeaderLabels(
            {QStringLiteral("Keys"), QStringLiteral("Action"), QStringLiteral("Delay (ms)")});
        list->setRootIsDecorated(false);
        list->setAlternatingRowColors(true);
        for (const auto& [k, a, d] : {std::tuple{"Ctrl", "Press", "0"},
                                      {"C", "Press", "35"},
                                      {"C", "Release", "62"},
                                      {"Ctrl", "Release", "18"}}) {
            list->addTopLevelItem(new QTreeWidgetItem(
                {QString::fromLatin1(k), QString::fromLatin1(a), QString::fromLatin1(d)}));
        }
        list->header()->resizeSection(0, 110);
        list->header()->resizeSection(1, 120);
        control("FUNC_MACRO_LIST2", list);
        auto* cycles = new QLineEdit(QStringLiteral("1"), this);
        control("FUNC_MACRO_CYCLES", cycles);
        textControl("FUNC_MACRO_CYCLES_PROMPT", QStringLiteral("Cycles"));
        auto* delay = new QCheckBox(this);
        delay->setChecked(true);
        control("FUNC_MACRO_RECORD_DELAY", delay);
        textControl("FUNC_MACRO_RECORD_DELAY2", QStringLiteral("Record Delay"));
    }

private:
    std::vector<QPixmap> pics_;
    StatePictures key_, macro_, macro2_, media_, function_;
};

// ---- Profile manager and update dialog ----

class ProfileDialog : public SkinDialog {
public:
    ProfileDialog(const std::filesystem::path& skins, QStringList& problems)
        : SkinDialog(131, skins, "Profile.ini", problems) {}

protected:
    void build() override {
        pics_ = pictures({"Profile_normal.jpg", "Profile_over.jpg", "Profile_down.jpg"});
        const StatePictures set{&pics_[0], &pics_[1], &pics_[2], &pics_[2], &pics_[2]};
        for (const char* k :
             {"CONTROL_OK", "CONTROL_CANCEL", "FUNC_ADD", "FUNC_LOAD", "FUNC_DELETE", "CONTROL2_APPLY"}) {
            imageButton(k, set);
        }
        button("CONTROL2_APPLY").setEnabled(false);
        auto* list = new QTreeWidget(this);
        list->setColumnCount(3);
        list->setHeaderLabels(
            {QString::fromUtf8("激活"), QString::fromUtf8("名称"), QString::fromUtf8("路径")});
        list->setRootIsDecorated(false);
        for (int p = 0; p < 3; ++p) {
            auto* row = new QTreeWidgetItem(
                {QString(), QStringLiteral("$Profile0"), QStringLiteral("/home/user/Documents/Velmora")});
            row->setCheckState(0, p == 1 ? Qt::Checked : Qt::Unchecked);
            list->addTopLevelItem(row);
        }
        list->header()->resizeSection(0, 60);
        list->header()->resizeSection(1, 120);
        control("PROGRAM_LIST", list);
    }

private:
    std::vector<QPixmap> pics_;
};

class UpdateDialog : public SkinDialog {
public:
    UpdateDialog(const std::filesystem::path& skins, QStringList& problems)
        : SkinDialog(149, skins, "UpdateDlg.ini", problems) {}

protected:
    void build() override {
        pics_ = pictures({"update_normal.jpg", "update_over.jpg"});
        const StatePictures set{&pics_[0], &pics_[1], &pics_[1], &pics_[0], &pics_[1]};
        for (const char* k :
             {"CONTROL_CUPButton", "CONTROL_UPButton", "CONTROL_OPENButton", "CONTROL_BACKUPButton"}) {
            imageButton(k, set);
        }
        textControl("CONTROL_UPStatic", QStringLiteral("/opt/tarvik/Package/firmware-update"));
        control("CONTROL_UPCombox", new QComboBox(this)).hide();
    }

private:
    std::vector<QPixmap> pics_;
};

// A colour around the hue circle, for the tinted screenshot.
QColor wheel(double t) {
    t = t - std::floor(t);
    return QColor::fromHsvF(t, 1.0, 1.0);
}

} // namespace

Gallery::Gallery(std::filesystem::path skins, QDir out, QString suffix)
    : skins_(std::move(skins)), out_(std::move(out)), suffix_(std::move(suffix)) {}

QStringList Gallery::run() {
    mainWindow();
    compositeDialog();
    profileDialog();
    updateDialog();
    return problems_;
}

void Gallery::shoot(QWidget& w, const QString& name, double scale) {
    // At the screen's pixel density, as the window shows there.
    scale *= w.devicePixelRatioF();
    QImage image(w.size() * scale, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter p(&image);
        p.scale(scale, scale);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        w.render(&p, QPoint(), QRegion(), QWidget::DrawWindowBackground | QWidget::DrawChildren);
    }
    if (!w.mask().isEmpty()) {
        QImage clip(image.size(), QImage::Format_ARGB32_Premultiplied);
        clip.fill(Qt::transparent);
        QPainter p(&clip);
        p.scale(scale, scale);
        p.setClipRegion(w.mask());
        p.resetTransform();
        p.drawImage(0, 0, image);
        p.end();
        image = clip;
    }
    const QString file = out_.filePath(name + suffix_ + QStringLiteral(".png"));
    if (!image.save(file)) {
        problems_ << QStringLiteral("cannot write %1").arg(file);
    }
}

namespace {

// The keyboard of the shots: none is attached, so nothing is ever sent.
class NoKeyboard final : public device::Exchanger {
public:
    int transact(std::span<const uint8_t>, std::span<uint8_t, device::kReportSize>,
                 size_t& delivered) override {
        delivered = 0;
        return device::kNoKeyboard;
    }
};

class QuietPrompter final : public Prompter {
public:
    void show(std::string_view) override {}
    bool askYesNo(std::string_view, bool defaultYes) override { return defaultYes; }
};

class NoFiles final : public FileChooser {
public:
    std::optional<std::filesystem::path> choose(Mode, const std::string&, const std::filesystem::path&,
                                                const std::string&) override {
        return std::nullopt;
    }
};

keyboard::KeyAssignment singleKey(uint16_t key) {
    keyboard::KeyAssignment r;
    r.type = keyboard::ASSIGN_SINGLE_KEY;
    r.value = key;
    return r;
}

} // namespace

void Gallery::mainWindow() {
    // The texts from a copy: the language switch below writes its file.
    QTemporaryDir scratch;
    const std::filesystem::path language =
        std::filesystem::path(scratch.path().toStdString()) / "language.ini";
    std::filesystem::copy_file(skins_ / "language.ini", language);
    ui::Language::instance().setFiles({language, {}});
    ui::Language::instance().load();

    NoKeyboard none;
    device::Commands commands(none);
    device::AppLinkState state;
    profiles::AssignmentStore store;
    profiles::SettingsStore settings(std::filesystem::path(scratch.path().toStdString()) / "Tarvik.ini");
    device::SerialWorker worker;
    QuietPrompter prompter;
    NoFiles files;
    app::MainWindowSetup setup{state,
                               store,
                               settings,
                               skins_.parent_path(),
                               std::filesystem::path(scratch.path().toStdString()),
                               {},
                               {},
                               {},
                               {},
                               {},
                               {},
                               &prompter,
                               &files,
                               {},
                               {}};
    setup.openLink = [&]() -> device::Commands& { return commands; };
    setup.toWorker = [&](std::function<void()> t) { worker.post(std::move(t)); };
    setup.showText = [](const QString&) {};
    setup.desktopOpen = [](const QUrl&) {};
    setup.onMissingPicture = [this](const std::filesystem::path& missing) {
        problems_ << QStringLiteral("missing picture %1").arg(path(missing));
    };
    app::CTarvikDlg w(std::move(setup));
    std::unique_ptr<LightingStandIn> lighting;
    w.hooks().lightingPanel = [&](const app::LightingPanelHost& host) {
        lighting = std::make_unique<LightingStandIn>(host);
        return [](const lighting::LightingView&) {};
    };
    w.initialise();
    if (!QTest::qWaitFor([&] { return w.hub().isReady(); }, 5000) || w.button("KEY_01E") == nullptr) {
        problems_ << QStringLiteral("the main window did not start");
        return;
    }
    state.devicePresence.store(1);
    w.setProfileButtons(0);
    w.setReportRateButtons(0);
    w.showWindow();
    if (!QTest::qWaitForWindowExposed(&w)) {
        problems_ << QStringLiteral("the main window did not show");
    }

    std::vector<CPngButton*> keys;
    for (const keyboard::GButton& g : keyboard::GButtons()) {
        keys.push_back(w.buttonById(g.controlId));
    }
    for (const keyboard::KeyButton& k : keyboard::KeyButtons()) {
        keys.push_back(w.buttonById(k.controlId));
    }
    keys.push_back(w.buttonById(app::control::kFn));
    auto each = [&](auto fn) {
        for (CPngButton* b : keys) {
            fn(*b);
        }
    };
    auto reset = [&] {
        each([](CPngButton& b) {
            b.setEnabled(true);
            b.setHover(false);
            b.setDown(false);
            b.clearTint();
        });
    };

    lighting->show(0);
    shoot(w, QStringLiteral("main_normal"));
    each([](CPngButton& b) { b.setHover(true); });
    shoot(w, QStringLiteral("main_hover"));
    reset();
    each([](CPngButton& b) { b.setDown(true); });
    shoot(w, QStringLiteral("main_pressed"));
    reset();
    each([](CPngButton& b) { b.setEnabled(false); });
    for (const char* k : {"FUNC_PROFILE2", "FUNC_DEFAULT"}) {
        w.button(k)->setEnabled(false);
    }
    shoot(w, QStringLiteral("main_disabled"));
    reset();
    for (const char* k : {"FUNC_PROFILE2", "FUNC_DEFAULT"}) {
        w.button(k)->setEnabled(true);
    }

    // Colour-keys mode: the gaming cluster lit, the rest off.
    w.hub().onControl(app::control::kSwitch);
    for (int id : {1010, 1011, 1012, 1013, 1040, 1041, 1042, 1043}) {
        if (keyboard::KeyButtonPosition(id) >= 0) {
            w.hub().onControl(id);
        }
    }
    shoot(w, QStringLiteral("main_colour_keys"));
    w.hub().onControl(app::control::kSwitch);

    // Lighting preview: a wave across the columns, the panel on in mode 1.
    lighting->show(1);
    each([&](CPngButton& b) { b.setTint(wheel(b.x() / (900.0 * w.skinScale())), 50); });
    shoot(w, QStringLiteral("main_tinted"));
    reset();

    // A working session: assigned keys with their tooltips, G layer B, 250 Hz, user lighting, edits to
    // apply, a key hovered and one pressed.
    {
        auto lock = store.lockKeyData();
        auto records = store.working().block().profile(0);
        const int first = keyboard::kFirstGSlotLayer1;
        for (int slot : {first, first + 1, first + 4, 0x3B, 0xDB}) {
            records[static_cast<size_t>(slot)] = singleKey(0x1E);
        }
    }
    state.linkStatusMode.store(0x03);
    w.port().sendMessage(device::MSG_KEYMODE_CHANGED, device::kCodeLed);
    w.hub().assignmentsChanged();
    w.setReportRateButtons(2);
    w.button("KEY_022")->setHover(true);
    w.button("KEY_010")->setDown(true);
    lighting->show(20);
    shoot(w, QStringLiteral("main_session"));
    for (int mode : {12, 17, 18}) {
        lighting->show(mode);
        shoot(w, QStringLiteral("main_lighting_mode%1").arg(mode));
    }
    w.button("KEY_022")->setHover(false);
    w.button("KEY_010")->setDown(false);

    // Apply running: the busy pictures, nothing else moves.
    w.setBusy(true);
    w.showBusyFrame(5);
    shoot(w, QStringLiteral("main_busy"));
    w.setBusy(false);

    // The other language, switched while the window is open.
    w.hub().onCommand(app::command::kChinese);
    lighting->show(0);
    shoot(w, QStringLiteral("main_chinese"));
    w.hub().onCommand(app::command::kEnglish);

    w.port().close();
    worker.stop();
}

void Gallery::compositeDialog() {
    CompositeDialog d(skins_, problems_);
    d.show();
    d.showPanel(CompositeDialog::Key, false);
    shoot(d, QStringLiteral("composite_key"));
    d.button("CONTROL_OK").setHover(true);
    d.button("CONTROL_CLEAR").setDown(true);
    shoot(d, QStringLiteral("composite_key_hover_pressed"));
    d.button("CONTROL_OK").setHover(false);
    d.button("CONTROL_CLEAR").setDown(false);
    d.showPanel(CompositeDialog::Macro, false);
    d.button("FUNC_MACRO_RECORD").setHover(true);
    shoot(d, QStringLiteral("composite_macro"));
    d.button("FUNC_MACRO_RECORD").setHover(false);
    d.showPanel(CompositeDialog::Media, false);
    shoot(d, QStringLiteral("composite_media"));
    d.showPanel(CompositeDialog::Function, false);
    shoot(d, QStringLiteral("composite_function"));
    d.showPanel(CompositeDialog::Macro, true);
    shoot(d, QStringLiteral("composite_macro_only"));
}

void Gallery::profileDialog() {
    ProfileDialog d(skins_, problems_);
    d.show();
    shoot(d, QStringLiteral("profile"));
    d.button("FUNC_ADD").setHover(true);
    d.button("CONTROL_OK").setDown(true);
    shoot(d, QStringLiteral("profile_hover_pressed"));
}

void Gallery::updateDialog() {
    UpdateDialog d(skins_, problems_);
    d.show();
    shoot(d, QStringLiteral("update"));
    d.button("CONTROL_UPButton").setHover(true);
    shoot(d, QStringLiteral("update_hover"));
}

} // namespace tarvik::gallery
