#include "linux/wayland/KeymapKeys.h"

#include <xkbcommon/xkbcommon.h>

#include <cstdlib>

#include "app/input/KeyCombo.h"
#include "app/input/KeyNames.h"
#include "linux/input/KeySyms.h"

namespace dz::wayland {

namespace {

// XKB key codes are evdev codes plus 8.
constexpr uint32_t evdevOffset = 8;

const char* orNull(const std::string& value) {
    return value.empty() ? nullptr : value.c_str();
}

}  // namespace

KeymapKeys::KeymapKeys(xkb_context* context, xkb_keymap* keymap) : context_(context), keymap_(keymap) {
    if (char* text = xkb_keymap_get_as_string(keymap_, XKB_KEYMAP_FORMAT_TEXT_V1)) {
        text_ = text;
        std::free(text);
    }
}

KeymapKeys::~KeymapKeys() {
    xkb_keymap_unref(keymap_);
    xkb_context_unref(context_);
}

std::unique_ptr<KeymapKeys> KeymapKeys::compile(const Names& names) {
    xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    if (!context)
        return nullptr;
    const xkb_rule_names rules{orNull(names.rules), orNull(names.model), orNull(names.layout),
                               orNull(names.variant), orNull(names.options)};
    xkb_keymap* keymap = xkb_keymap_new_from_names(context, &rules, XKB_KEYMAP_COMPILE_NO_FLAGS);
    if (!keymap) {
        xkb_context_unref(context);
        return nullptr;
    }
    std::unique_ptr<KeymapKeys> keys(new KeymapKeys(context, keymap));
    if (keys->text_.empty())
        return nullptr;
    return keys;
}

std::unique_ptr<KeymapKeys> KeymapKeys::forTyping(const Names& names, std::string* error) {
    auto keys = compile(names);
    const auto keyV = keynames::keyCode("V");
    if (keys && keyV && keys->stroke(*keyV, 0))
        return keys;
    Names us;
    us.layout = "us";
    if (auto fallback = compile(us))
        return fallback;
    if (error)
        *error = keys ? "the keyboard map has no Latin letters and the US one does not compile"
                      : "no keyboard map compiles (is xkb-data installed?)";
    return nullptr;
}

std::string KeymapKeys::layoutName() const {
    const char* name = xkb_keymap_layout_get_name(keymap_, 0);
    return name ? name : "";
}

std::optional<KeymapKeys::Stroke> KeymapKeys::stroke(uint32_t keyCode, uint32_t modifiers) const {
    const auto keysym = x11::keysymForKeyCode(keyCode);
    if (!keysym)
        return std::nullopt;
    // The lowest level that has the character, on the first layout.
    std::optional<xkb_keycode_t> found;
    xkb_level_index_t foundLevel = 0;
    const xkb_keycode_t last = xkb_keymap_max_keycode(keymap_);
    for (xkb_keycode_t code = xkb_keymap_min_keycode(keymap_); code <= last && code >= evdevOffset; ++code) {
        const xkb_level_index_t levels = xkb_keymap_num_levels_for_key(keymap_, code, 0);
        for (xkb_level_index_t level = 0; level < levels && (!found || level < foundLevel); ++level) {
            const xkb_keysym_t* syms = nullptr;
            const int count = xkb_keymap_key_get_syms_by_level(keymap_, code, 0, level, &syms);
            if (count == 1 && syms[0] == *keysym) {
                found = code;
                foundLevel = level;
                break;
            }
        }
        if (found && foundLevel == 0)
            break;
    }
    if (!found)
        return std::nullopt;

    Stroke stroke{*found - evdevOffset, 0};
    if (foundLevel > 0) {
        xkb_mod_mask_t masks[4];
        if (xkb_keymap_key_get_mods_for_level(keymap_, *found, 0, foundLevel, masks, 4) < 1)
            return std::nullopt;
        stroke.depressed = masks[0];
    }
    struct Named {
        uint32_t bit;
        const char* name;
    };
    for (const Named& mod :
         {Named{KeyCombo::control, XKB_MOD_NAME_CTRL}, Named{KeyCombo::shift, XKB_MOD_NAME_SHIFT},
          Named{KeyCombo::option, XKB_MOD_NAME_ALT}, Named{KeyCombo::command, XKB_MOD_NAME_LOGO}}) {
        if (!(modifiers & mod.bit))
            continue;
        const xkb_mod_index_t index = xkb_keymap_mod_get_index(keymap_, mod.name);
        if (index == XKB_MOD_INVALID || index >= 32)
            return std::nullopt;
        stroke.depressed |= 1u << index;
    }
    return stroke;
}

}  // namespace dz::wayland
