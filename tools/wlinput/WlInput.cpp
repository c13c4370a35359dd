// wlinput: a pointer and a keyboard for a Wayland compositor that has neither (a headless one), for the
// whole-program tests. It speaks the virtual pointer and virtual keyboard protocols; the keyboard has an
// ordinary US layout, so each key arrives with the key code a real keyboard gives it (a client that
// reads scan codes sees the right key). On KWin, which offers neither, it speaks KWin's fake input
// protocol instead (KWin must let it: KWIN_WAYLAND_NO_PERMISSION_CHECKS=1); there KWin's own keymap
// applies.
//
//   wlinput --size W H COMMAND...   W H: the size of the output layout in logical pixels
//     move X Y          the pointer to (X, Y)
//     click X Y         a left click there (press X Y, release X Y for a drag)
//     key CODE...       each evdev key code pressed and released in turn
//     chord CODE...     the codes pressed in order and released in reverse (KEY_LEFTALT KEY_TAB)
//     hold              keeps both devices until the program is ended, saying "holding" on standard
//                       output once they exist (a seat without any pointer
//                       gives clients no pointer, so a desk keeps one for its whole life)
#include "fake-input-client-protocol.h"
#include "virtual-keyboard-unstable-v1-client-protocol.h"
#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"

#include <linux/input-event-codes.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Globals {
    wl_seat* seat = nullptr;
    zwlr_virtual_pointer_manager_v1* pointers = nullptr;
    zwp_virtual_keyboard_manager_v1* keyboards = nullptr;
    org_kde_kwin_fake_input* fake = nullptr;
};

void onGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t version) {
    auto* g = static_cast<Globals*>(data);
    if (std::strcmp(interface, wl_seat_interface.name) == 0 && g->seat == nullptr) {
        g->seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    } else if (std::strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0) {
        g->pointers = static_cast<zwlr_virtual_pointer_manager_v1*>(
            wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1));
    } else if (std::strcmp(interface, zwp_virtual_keyboard_manager_v1_interface.name) == 0) {
        g->keyboards = static_cast<zwp_virtual_keyboard_manager_v1*>(
            wl_registry_bind(registry, name, &zwp_virtual_keyboard_manager_v1_interface, 1));
    } else if (std::strcmp(interface, org_kde_kwin_fake_input_interface.name) == 0 && version >= 4) {
        // Version 4 brings the keyboard.
        g->fake = static_cast<org_kde_kwin_fake_input*>(
            wl_registry_bind(registry, name, &org_kde_kwin_fake_input_interface, 4));
    }
}

void onGlobalRemove(void*, wl_registry*, uint32_t) {}

const wl_registry_listener kRegistry = {onGlobal, onGlobalRemove};

uint32_t now() {
    using namespace std::chrono;
    return static_cast<uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

// The US layout, and the state of its modifiers as the keys go down and up: the compositor takes a
// virtual keyboard's modifiers from the client, not from its keys.
struct Layout {
    xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    xkb_keymap* keymap = nullptr;
    xkb_state* state = nullptr;
    Layout() {
        const xkb_rule_names names{"evdev", "pc105", "us", "", ""};
        keymap = context ? xkb_keymap_new_from_names(context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS) : nullptr;
        state = keymap ? xkb_state_new(keymap) : nullptr;
    }
    ~Layout() {
        xkb_state_unref(state);
        xkb_keymap_unref(keymap);
        xkb_context_unref(context);
    }
};

// The layout as text, handed to the compositor through a shared file.
bool sendKeymap(zwp_virtual_keyboard_v1* keyboard, const Layout& layout) {
    char* text = layout.keymap ? xkb_keymap_get_as_string(layout.keymap, XKB_KEYMAP_FORMAT_TEXT_V1) : nullptr;
    bool sent = false;
    if (text != nullptr && layout.state != nullptr) {
        const size_t size = std::strlen(text) + 1;
        const int fd = memfd_create("wlinput-keymap", MFD_CLOEXEC);
        if (fd >= 0 && ::write(fd, text, size) == static_cast<ssize_t>(size)) {
            zwp_virtual_keyboard_v1_keymap(keyboard, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd,
                                           static_cast<uint32_t>(size));
            sent = true;
        }
        if (fd >= 0) {
            ::close(fd);
        }
    }
    std::free(text);
    return sent;
}

int usage() {
    std::fputs("usage: wlinput --size W H (move X Y | click X Y | press X Y | release X Y | key CODE... | "
               "chord CODE... | hold)...\n",
               stderr);
    return 2;
}

volatile std::sig_atomic_t stop = 0;

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() < 4 || args[0] != "--size") {
        return usage();
    }
    const uint32_t width = static_cast<uint32_t>(std::stoul(args[1]));
    const uint32_t height = static_cast<uint32_t>(std::stoul(args[2]));

    wl_display* display = wl_display_connect(nullptr);
    if (display == nullptr) {
        std::fputs("wlinput: no Wayland display\n", stderr);
        return 1;
    }
    Globals g;
    wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &kRegistry, &g);
    wl_display_roundtrip(display);
    const bool virtualDevices = g.seat != nullptr && g.pointers != nullptr && g.keyboards != nullptr;
    if (!virtualDevices && g.fake == nullptr) {
        std::fputs(
            "wlinput: the compositor offers no seat with virtual pointer and keyboard, nor fake input\n",
            stderr);
        return 1;
    }
    zwlr_virtual_pointer_v1* pointer = nullptr;
    zwp_virtual_keyboard_v1* keyboard = nullptr;
    const Layout layout;
    if (virtualDevices) {
        pointer = zwlr_virtual_pointer_manager_v1_create_virtual_pointer(g.pointers, g.seat);
        keyboard = zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(g.keyboards, g.seat);
        if (!sendKeymap(keyboard, layout)) {
            std::fputs("wlinput: no keymap\n", stderr);
            return 1;
        }
    } else {
        org_kde_kwin_fake_input_authenticate(g.fake, "wlinput", "whole-program tests");
    }
    wl_display_roundtrip(display);

    auto number = [&](size_t i) { return i < args.size() ? static_cast<uint32_t>(std::stoul(args[i])) : 0u; };
    auto moveTo = [&](uint32_t x, uint32_t y) {
        if (pointer == nullptr) {
            org_kde_kwin_fake_input_pointer_motion_absolute(g.fake, wl_fixed_from_int(static_cast<int>(x)),
                                                            wl_fixed_from_int(static_cast<int>(y)));
            return;
        }
        zwlr_virtual_pointer_v1_motion_absolute(pointer, now(), x, y, width, height);
        zwlr_virtual_pointer_v1_frame(pointer);
    };
    auto button = [&](bool down) {
        if (pointer == nullptr) {
            org_kde_kwin_fake_input_button(g.fake, BTN_LEFT, down ? 1 : 0);
            return;
        }
        zwlr_virtual_pointer_v1_button(pointer, now(), BTN_LEFT,
                                       down ? WL_POINTER_BUTTON_STATE_PRESSED
                                            : WL_POINTER_BUTTON_STATE_RELEASED);
        zwlr_virtual_pointer_v1_frame(pointer);
    };
    auto keyEvent = [&](uint32_t code, bool down) {
        if (keyboard == nullptr) {
            // KWin keeps the modifiers itself, from its own keymap.
            org_kde_kwin_fake_input_keyboard_key(g.fake, code, down ? 1 : 0);
            wl_display_roundtrip(display);
            return;
        }
        zwp_virtual_keyboard_v1_key(keyboard, now(), code,
                                    down ? WL_KEYBOARD_KEY_STATE_PRESSED : WL_KEYBOARD_KEY_STATE_RELEASED);
        // X key codes are evdev codes + 8.
        xkb_state_update_key(layout.state, code + 8, down ? XKB_KEY_DOWN : XKB_KEY_UP);
        zwp_virtual_keyboard_v1_modifiers(
            keyboard, xkb_state_serialize_mods(layout.state, XKB_STATE_MODS_DEPRESSED),
            xkb_state_serialize_mods(layout.state, XKB_STATE_MODS_LATCHED),
            xkb_state_serialize_mods(layout.state, XKB_STATE_MODS_LOCKED),
            xkb_state_serialize_layout(layout.state, XKB_STATE_LAYOUT_EFFECTIVE));
        // Each event its own round trip, so a client sees press and release as separate events.
        wl_display_roundtrip(display);
    };
    auto codesFrom = [&](size_t& i) {
        std::vector<uint32_t> codes;
        while (i < args.size() && !args[i].empty() && std::isdigit(static_cast<unsigned char>(args[i][0]))) {
            codes.push_back(number(i++));
        }
        return codes;
    };

    for (size_t i = 3; i < args.size();) {
        const std::string& command = args[i++];
        if (command == "move" || command == "click" || command == "press" || command == "release") {
            moveTo(number(i), number(i + 1));
            i += 2;
            wl_display_roundtrip(display);
            if (command != "move") {
                if (command != "release") {
                    button(true);
                    wl_display_roundtrip(display);
                }
                if (command != "press") {
                    button(false);
                }
            }
        } else if (command == "key") {
            for (uint32_t code : codesFrom(i)) {
                keyEvent(code, true);
                keyEvent(code, false);
            }
        } else if (command == "chord") {
            const std::vector<uint32_t> codes = codesFrom(i);
            for (uint32_t code : codes) {
                keyEvent(code, true);
            }
            for (auto it = codes.rbegin(); it != codes.rend(); ++it) {
                keyEvent(*it, false);
            }
        } else if (command == "hold") {
            std::signal(SIGTERM, [](int) { stop = 1; });
            std::signal(SIGINT, [](int) { stop = 1; });
            // The devices exist once the compositor has answered: a desk waits for this line.
            std::puts("holding");
            std::fflush(stdout);
            while (stop == 0 && wl_display_dispatch(display) != -1) {
            }
        } else {
            return usage();
        }
        wl_display_roundtrip(display);
    }
    if (pointer != nullptr) {
        zwlr_virtual_pointer_v1_destroy(pointer);
        zwp_virtual_keyboard_v1_destroy(keyboard);
    }
    wl_display_roundtrip(display);
    wl_display_disconnect(display);
    return 0;
}
