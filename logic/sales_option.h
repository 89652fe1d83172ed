#pragma once

namespace tarnwick {

// The seven option buttons of the sales form, named after their controls.
enum class SalesOption {
    optMakeover,
    optHairStyling,
    optManicure,
    optPermanentMakeup,
    optNone,
    opt10Percent,
    opt20Percent,
};

} // namespace tarnwick
