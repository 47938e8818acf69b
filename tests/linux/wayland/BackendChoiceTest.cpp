// The backend and status line for each kind of session, as a table.
#include <gtest/gtest.h>

#include "linux/wayland/BackendChoice.h"

namespace dz::wayland {
namespace {

struct Case {
    const char* name;
    SessionFacts facts;
    ClipboardBackend clipboard;
    bool x11Keys;
    IdentifiedPasters pasters;
    std::string status;
    bool warns = false;
};

SessionFacts wayland(std::string desktop, bool dataControl, bool x11, std::vector<std::string> globals = {}) {
    SessionFacts facts;
    facts.wayland = true;
    facts.waylandReachable = true;
    facts.xdgCurrentDesktop = std::move(desktop);
    facts.dataControl = dataControl;
    facts.x11 = x11;
    facts.globals = std::move(globals);
    return facts;
}
SessionFacts forced(SessionFacts facts, std::string value) {
    facts.forced = std::move(value);
    return facts;
}
SessionFacts x11Session() {
    SessionFacts facts;
    facts.x11 = true;
    return facts;
}

const std::string swayEvery = "Wayland (sway): copies and pastes of every application.";
const std::string gnome =
    "GNOME on Wayland: copies of every application; pasting rules and shortcuts work in X11 applications "
    "only.";

class BackendChoiceTest : public ::testing::TestWithParam<Case> {};

TEST_P(BackendChoiceTest, ChoosesByWhatTheSessionOffers) {
    const Case& c = GetParam();
    BackendChoice choice = chooseBackend(c.facts);
    EXPECT_EQ(choice.clipboard, c.clipboard);
    EXPECT_EQ(choice.x11Keys, c.x11Keys);
    EXPECT_EQ(choice.pasters, c.pasters);
    EXPECT_EQ(choice.status, c.status);
    EXPECT_EQ(choice.warning.has_value(), c.warns);
}

using B = ClipboardBackend;
using P = IdentifiedPasters;

INSTANTIATE_TEST_SUITE_P(
    Sessions, BackendChoiceTest,
    ::testing::Values(
        Case{"X11Session", x11Session(), B::x11, true, P::everyApplication, ""},
        Case{"SwayWithXwayland", wayland("sway", true, true), B::wayland, true, P::everyApplication,
             swayEvery},
        Case{"SwayWithoutXwayland", wayland("sway", true, false), B::wayland, false, P::everyApplication,
             swayEvery},
        Case{"KDEFirstOfSeveralDesktops", wayland("KDE:Plasma", true, true), B::wayland, true,
             P::everyApplication, "Wayland (KDE): copies and pastes of every application."},
        Case{"GNOMEThroughXwayland", wayland("ubuntu:GNOME", false, true), B::x11, true,
             P::x11ApplicationsOnly, gnome},
        Case{"GNOMEKnownByItsGlobals", wayland("", false, true, {"wl_seat", "gtk_shell1"}), B::x11, true,
             P::x11ApplicationsOnly, gnome},
        Case{"WestonThroughXwayland", wayland("", false, true, {"wl_seat", "weston_capture_v1"}), B::x11,
             true, P::x11ApplicationsOnly,
             "Wayland (Weston): this desktop lets other programs see copies only while an X11 window is "
             "active."},
        Case{"NeitherDataControlNorXwayland", wayland("COSMIC", false, false), B::none, false, P::none,
             "Wayland (COSMIC): this desktop gives other programs no access to the clipboard, so copies are "
             "not "
             "cleaned."},
        Case{"AnUnnamedCompositor", wayland("", false, false), B::none, false, P::none,
             "Wayland (unknown compositor): this desktop gives other programs no access to the clipboard, so "
             "copies are not cleaned."},
        Case{"ForcedX11OnSway", forced(wayland("sway", true, true), "x11"), B::x11, true,
             P::x11ApplicationsOnly,
             "Wayland (sway): this desktop lets other programs see copies only while an X11 window is "
             "active."},
        Case{"ForcedWaylandWithoutDataControlSeen", forced(wayland("sway", false, true), "wayland"),
             B::wayland, true, P::everyApplication, swayEvery},
        Case{"AnUnknownForcedValueWarnsAndChooses", forced(wayland("sway", true, true), "X11"), B::wayland,
             true, P::everyApplication, swayEvery, true},
        Case{"AnEmptyForcedValueWarnsToo", forced(x11Session(), ""), B::x11, true, P::everyApplication, "",
             true}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace dz::wayland
