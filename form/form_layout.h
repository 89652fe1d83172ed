#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <stdexcept>
#include <string_view>

namespace tarnwick {

enum class ControlKind { Frame, OptionButton, CommandButton, Label };

// What a control is for beyond its caption.
enum class ControlRole {
    None,
    InitiallySelected, // an option selected when the window opens
    DefaultButton,     // Enter presses it, unless a focused button takes Enter itself
    CancelButton,      // Esc presses it wherever the focus is
    AmountLabel,       // a handler writes an amount here; empty at opening
};

// One control of the window. Positions and sizes in twips (1/1440 inch), relative to
// the container's top-left corner (the form's client area, or the frame itself).
struct ControlEntry {
    std::string_view name;
    ControlKind kind;
    std::string_view container; // empty: the form
    std::string_view caption;   // "&" marks the access key
    int left;
    int top;
    int width;
    int height;
    int tabPosition;
    ControlRole role = ControlRole::None;
    // For screen readers: the label whose caption names this control, as
    // the caption before an amount says what the amount is.
    std::string_view labelledBy = {};
};

struct WindowEntry {
    std::string_view name;
    std::string_view caption;
    int clientWidth;  // twips
    int clientHeight; // twips
};

inline constexpr int twipsPerPixel = 15; // at 96 dots per inch

inline constexpr WindowEntry windowEntry{"frmTarnwick2", "Tarnwick", 6480, 4080};

// The window, control by control; the form is built from this table alone.
// Containers come before what they contain. The frame's name is spelt as it always has been.
// clang-format off
inline constexpr std::array<ControlEntry, 19> formLayout{{
    // name                 kind                        container     caption                      left   top  width height tab role
    {"fraSevice",          ControlKind::Frame,         "",           "Type of Service",            353,  255, 2175, 1815,  0},
    {"optMakeover",        ControlKind::OptionButton,  "fraSevice",  "&Makeover",                  240,  360, 1695,  255,  1, ControlRole::InitiallySelected},
    {"optHairStyling",     ControlKind::OptionButton,  "fraSevice",  "Hair &Styling",              240,  720, 1695,  255,  2},
    {"optManicure",        ControlKind::OptionButton,  "fraSevice",  "Mani&cure",                  240, 1080, 1695,  255,  3},
    {"optPermanentMakeup", ControlKind::OptionButton,  "fraSevice",  "&Permanent Makeup",          240, 1440, 1695,  255,  4},
    {"fraCoupon",          ControlKind::Frame,         "",           "Discount Coupon",           2633,  255, 2175, 1455,  5},
    {"optNone",            ControlKind::OptionButton,  "fraCoupon",  "&None",                      240,  360,  855,  255, 16, ControlRole::InitiallySelected},
    {"opt10Percent",       ControlKind::OptionButton,  "fraCoupon",  "&10%",                       240,  720,  855,  255,  6},
    {"opt20Percent",       ControlKind::OptionButton,  "fraCoupon",  "&20%",                       240, 1080,  855,  255,  7},
    {"cmdCalculate",       ControlKind::CommandButton, "",           "&Calculate",                4913,  360, 1215,  495,  8, ControlRole::DefaultButton},
    {"cmdNext",            ControlKind::CommandButton, "",           "&Next Patron",              4913,  975, 1215,  495, 17},
    {"cmdClear",           ControlKind::CommandButton, "",           "C&lear",                    4913, 1575, 1215,  495,  9, ControlRole::CancelButton},
    {"cmdPrint",           ControlKind::CommandButton, "",           "&Print Form",               4913, 2175, 1215,  495, 10},
    {"cmdSummary",         ControlKind::CommandButton, "",           "&Summary",                  4913, 2775, 1215,  495, 18},
    {"cmdExit",            ControlKind::CommandButton, "",           "E&xit",                     4913, 3375, 1215,  495, 11},
    {"Label1",             ControlKind::Label,         "",           "Individual Service Price:",  600, 2295, 1815,  255, 12},
    {"lblServicePrice",    ControlKind::Label,         "",           "",                          2700, 2295, 1215,  255, 14, ControlRole::AmountLabel, "Label1"},
    {"Label2",             ControlKind::Label,         "",           "Total Due:",                 600, 2775, 1815,  255, 13},
    {"lblTotalDue",        ControlKind::Label,         "",           "",                          2700, 2775, 1215,  255, 15, ControlRole::AmountLabel, "Label2"},
}};
// clang-format on

constexpr std::optional<std::size_t> rowNamed(std::string_view name)
{
    for (std::size_t row = 0; row < formLayout.size(); ++row) {
        if (formLayout[row].name == name)
            return row;
    }
    return std::nullopt;
}

// The row of a control the program names itself, which the table must hold:
// a name it lacks is the program's own fault, reported as such.
constexpr std::size_t knownRow(std::string_view name)
{
    const std::optional<std::size_t> row = rowNamed(name);
    if (!row)
        throw std::logic_error("the layout has no control of that name");
    return *row;
}

// The caption of the label that names `name` (see labelledBy); empty when none does.
constexpr std::string_view labelCaptionFor(std::string_view name)
{
    const std::optional<std::size_t> row = rowNamed(name);
    if (!row)
        return {};
    const std::optional<std::size_t> label = rowNamed(formLayout[*row].labelledBy);
    return label ? formLayout[*label].caption : std::string_view{};
}

} // namespace tarnwick
