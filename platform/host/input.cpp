// Keyboard and mouse input: the window system's events and the scripted ones of DEMO_KEYS.
#include "state.h"

namespace host {
namespace {

InputEvent fromScript(const ScriptedInput& input) {
    InputEvent event;
    switch (input.kind) {
    case ScriptedInput::Kind::KeyDown: event.type = InputEvent::Type::KeyDown; break;
    case ScriptedInput::Kind::KeyUp: event.type = InputEvent::Type::KeyUp; break;
    case ScriptedInput::Kind::Close: event.type = InputEvent::Type::Close; break;
    }
    event.virtualKey = input.virtualKey;
    event.repeat = input.repeat;
    return event;
}

void remember(const InputEvent& event) {
    HostState& s = state();
    if (event.type == InputEvent::Type::KeyDown || event.type == InputEvent::Type::KeyUp)
        s.keys[event.virtualKey & 0xFF] = event.type == InputEvent::Type::KeyDown;
    if (event.type == InputEvent::Type::MouseMove) {
        s.cursorX = s.window.x + event.x;
        s.cursorY = s.window.y + event.y;
    }
}

}  // namespace

bool pollInput(InputEvent& event) {
    HostState& s = state();
    if (s.windowOpen && backend().pollEvent(event)) {
        remember(event);
        return true;
    }
    const auto& script = settings().input;
    if (s.nextScripted < script.size() && script[s.nextScripted].frame <= s.presented) {
        event = fromScript(script[s.nextScripted++]);
        remember(event);
        return true;
    }
    return false;
}

bool waitInput(InputEvent& event) {
    if (pollInput(event)) return true;
    HostState& s = state();
    const auto& script = settings().input;
    // Nothing is presented while a program waits, so scripted input meant for a later frame
    // arrives now: a user would press the key while the program waits for it.
    if (s.nextScripted < script.size()) {
        event = fromScript(script[s.nextScripted++]);
        remember(event);
        return true;
    }
    if (s.windowOpen && backend().waitEvent(event)) {
        remember(event);
        return true;
    }
    return false;
}

bool keyDown(int virtualKey) { return state().keys[virtualKey & 0xFF]; }

// In the program's pixels of the screen: its window's position plus the cursor's place in the
// window's client area, however large the window is shown.
void cursorPosition(int& x, int& y) {
    HostState& s = state();
    if (s.windowOpen && settings().video == VideoBackend::Window) {
        int shownX, shownY;
        backend().cursorPosition(shownX, shownY);
        shownToProgram(shownX, shownY, x, y);
        x += s.window.x;
        y += s.window.y;
        return;
    }
    x = s.cursorX;
    y = s.cursorY;
}

void showCursor(bool visible) {
    if (state().windowOpen) backend().showCursor(visible);
}

}  // namespace host
