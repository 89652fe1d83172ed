#include "form/keyboard_model.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>

namespace tarnwick {

namespace {

bool takesFocus(const ControlEntry& entry)
{
    return entry.kind == ControlKind::OptionButton || entry.kind == ControlKind::CommandButton;
}

char lower(char c)
{
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

// Index of `row` in `order`, or the place just outside it when there is none.
std::ptrdiff_t indexIn(const std::vector<LayoutRow>& order, std::optional<LayoutRow> row, bool forward)
{
    const auto found = row ? std::ranges::find(order, *row) : order.end();
    if (found != order.end())
        return found - order.begin();
    return forward ? -1 : static_cast<std::ptrdiff_t>(order.size());
}

} // namespace

std::vector<LayoutRow> focusOrder()
{
    std::vector<LayoutRow> rows;
    for (LayoutRow row = 0; row < formLayout.size(); ++row) {
        if (takesFocus(formLayout[row]))
            rows.push_back(row);
    }
    std::ranges::stable_sort(rows, {}, [](LayoutRow row) { return formLayout[row].tabPosition; });
    return rows;
}

std::optional<LayoutRow> nextTabStop(
    std::optional<LayoutRow> from, bool forward, const std::function<bool(LayoutRow)>& isSelectedOption)
{
    const std::vector<LayoutRow> order = focusOrder();
    const auto count = static_cast<std::ptrdiff_t>(order.size());
    std::ptrdiff_t index = indexIn(order, from, forward);
    for (std::ptrdiff_t step = 0; step < count; ++step) {
        index = ((forward ? index + 1 : index - 1) % count + count) % count;
        const LayoutRow row = order[static_cast<std::size_t>(index)];
        if (formLayout[row].kind != ControlKind::OptionButton || isSelectedOption(row))
            return row;
    }
    return std::nullopt;
}

LayoutRow enterTarget(std::optional<LayoutRow> focus)
{
    if (focus && formLayout[*focus].kind == ControlKind::CommandButton)
        return *focus;
    for (LayoutRow row = 0; row < formLayout.size(); ++row) {
        if (formLayout[row].role == ControlRole::DefaultButton)
            return row;
    }
    throw std::logic_error("the layout has no default button");
}

char accessKey(std::string_view caption)
{
    for (std::size_t i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != '&')
            continue;
        if (caption[i + 1] != '&')
            return lower(caption[i + 1]);
        ++i; // "&&" is a plain ampersand
    }
    return 0;
}

std::optional<AccessKeyAction> accessKeyAction(char key, std::optional<LayoutRow> focus)
{
    const std::vector<LayoutRow> order = focusOrder();
    std::vector<LayoutRow> owners; // in tab order
    for (LayoutRow row : order) {
        if (key != 0 && accessKey(formLayout[row].caption) == lower(key))
            owners.push_back(row);
    }
    if (owners.empty())
        return std::nullopt;
    if (owners.size() == 1)
        return AccessKeyAction{owners.front(), true};

    const std::ptrdiff_t start = indexIn(order, focus, true);
    const auto count = static_cast<std::ptrdiff_t>(order.size());
    for (std::ptrdiff_t step = 1; step <= count; ++step) {
        const LayoutRow row = order[static_cast<std::size_t>((start + step) % count)];
        if (std::ranges::find(owners, row) != owners.end())
            return AccessKeyAction{row, false};
    }
    return std::nullopt;
}

} // namespace tarnwick
