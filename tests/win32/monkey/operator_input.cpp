#include "tests/win32/monkey/operator_input.h"

#include "form/win32/frm_tarnwick2.h"
#include "form/win32/window_keys.h"

#include <array>
#include <stdexcept>
#include <string>

namespace tarnwick::monkey {

namespace {

enum class Modifier { None, Shift, Alt };

struct VirtualKey {
    Key key;
    UINT code;
    Modifier modifier;
    bool extended; // a key of the cursor block or the keypad's Enter
};

constexpr std::array<VirtualKey, 18> virtualKeys{{
    {Key::Tab, VK_TAB, Modifier::None, false},
    {Key::ShiftTab, VK_TAB, Modifier::Shift, false},
    {Key::Left, VK_LEFT, Modifier::None, true},
    {Key::Right, VK_RIGHT, Modifier::None, true},
    {Key::Up, VK_UP, Modifier::None, true},
    {Key::Down, VK_DOWN, Modifier::None, true},
    {Key::Space, VK_SPACE, Modifier::None, false},
    {Key::Return, VK_RETURN, Modifier::None, false},
    {Key::KeypadEnter, VK_RETURN, Modifier::None, true},
    {Key::Esc, VK_ESCAPE, Modifier::None, false},
    {Key::AltM, 'M', Modifier::Alt, false},
    {Key::AltS, 'S', Modifier::Alt, false},
    {Key::AltC, 'C', Modifier::Alt, false},
    {Key::AltP, 'P', Modifier::Alt, false},
    {Key::Alt1, '1', Modifier::Alt, false},
    {Key::Alt2, '2', Modifier::Alt, false},
    {Key::AltN, 'N', Modifier::Alt, false},
    {Key::AltL, 'L', Modifier::Alt, false},
}};

const VirtualKey& virtualKey(Key key)
{
    for (const VirtualKey& entry : virtualKeys) {
        if (entry.key == key)
            return entry;
    }
    throw std::invalid_argument("a key with no virtual key");
}

// A key message's lParam as the keyboard driver fills it: one stroke, the
// scan code, the extended-key flag, Alt held (the context code), and for a
// release the previous state and the transition.
LPARAM keyParameter(UINT code, bool extended, bool altHeld, bool release)
{
    const auto scanCode = static_cast<LPARAM>(MapVirtualKeyW(code, MAPVK_VK_TO_VSC));
    LPARAM parameter = 1 | (scanCode << 16);
    if (extended)
        parameter |= LPARAM{1} << 24;
    if (altHeld)
        parameter |= LPARAM{1} << 29;
    if (release)
        parameter |= (LPARAM{1} << 30) | (LPARAM{1} << 31);
    return parameter;
}

} // namespace

void OperatorInput::post(UINT message, WPARAM key, LPARAM parameter)
{
    // Keys go to the focus, or to the active window when nothing has it, as the keyboard's do.
    HWND target = GetFocus();
    if (!target)
        target = form_.handle();
    if (!PostMessageW(target, message, key, parameter))
        throw std::runtime_error("PostMessageW failed: Windows error " + std::to_string(GetLastError()));
    runQueue();
}

// GetKeyState answers from the thread's key state, which posted key messages
// leave alone: the monkey sets it as the keyboard would.
void OperatorInput::holdModifier(BYTE key, BYTE leftKey, bool down)
{
    std::array<BYTE, 256> state{};
    GetKeyboardState(state.data());
    const BYTE held = down ? 0x80 : 0x00;
    state[key] = held;
    state[leftKey] = held;
    SetKeyboardState(state.data());
}

void OperatorInput::press(Key key)
{
    const VirtualKey& pressed = virtualKey(key);
    const UINT code = pressed.code;
    switch (pressed.modifier) {
    case Modifier::None:
        post(WM_KEYDOWN, code, keyParameter(code, pressed.extended, false, false));
        post(WM_KEYUP, code, keyParameter(code, pressed.extended, false, true));
        break;
    case Modifier::Shift:
        holdModifier(VK_SHIFT, VK_LSHIFT, true);
        post(WM_KEYDOWN, VK_SHIFT, keyParameter(VK_SHIFT, false, false, false));
        post(WM_KEYDOWN, code, keyParameter(code, pressed.extended, false, false));
        post(WM_KEYUP, code, keyParameter(code, pressed.extended, false, true));
        holdModifier(VK_SHIFT, VK_LSHIFT, false);
        post(WM_KEYUP, VK_SHIFT, keyParameter(VK_SHIFT, false, false, true));
        break;
    case Modifier::Alt:
        // With Alt held, keys come as system keys; TranslateMessage makes the
        // WM_SYSCHAR that access keys answer to. Alt's own release after
        // another key is a plain key up, which opens no menu.
        holdModifier(VK_MENU, VK_LMENU, true);
        post(WM_SYSKEYDOWN, VK_MENU, keyParameter(VK_MENU, false, true, false));
        post(WM_SYSKEYDOWN, code, keyParameter(code, pressed.extended, true, false));
        post(WM_SYSKEYUP, code, keyParameter(code, pressed.extended, true, true));
        holdModifier(VK_MENU, VK_LMENU, false);
        post(WM_KEYUP, VK_MENU, keyParameter(VK_MENU, false, false, true));
        break;
    }
}

void OperatorInput::click(std::string_view control)
{
    if (!PostMessageW(form_.control(control), BM_CLICK, 0, 0))
        throw std::runtime_error("PostMessageW failed: Windows error " + std::to_string(GetLastError()));
    runQueue();
}

bool OperatorInput::runQueue()
{
    MSG message{};
    while (!quit_ && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT)
            quit_ = true;
        else
            handleMessage(form_, message);
    }
    return !quit_;
}

} // namespace tarnwick::monkey
