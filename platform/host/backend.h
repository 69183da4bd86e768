// The two ways the host shows a window: an SDL2 window, or an EGL pbuffer with no display.
// Private to platform/host.
#pragma once

#include <memory>
#include <string>

#include "host/host.h"

namespace host {

class Backend {
public:
    virtual ~Backend() = default;

    virtual bool open(const WindowRequest& request, int shownWidth, int shownHeight, std::string* error) = 0;
    virtual void close() = 0;
    virtual void show(bool visible) = 0;
    virtual void setTitle(const std::string& title) = 0;
    // The size the host shows (the window's drawable, or the pbuffer).
    virtual void resizeShown(int width, int height) = 0;
    virtual void setFullscreen(bool fullscreen) = 0;
    virtual bool canShow(int width, int height, int bitsPerPixel) = 0;
    // The desktop's size in pixels; false when there is no screen.
    virtual bool screenSize(int& width, int& height) = 0;

    virtual bool createContext(std::string* error) = 0;
    virtual void destroyContext() = 0;
    virtual bool makeCurrent(bool current) = 0;
    virtual void* procAddress(const char* name) = 0;
    virtual void drawableSize(int& width, int& height) = 0;
    virtual void swap(bool waitForRetrace) = 0;

    virtual bool pollEvent(InputEvent& event) = 0;
    // Waits for a window-system event; false when none can ever come.
    virtual bool waitEvent(InputEvent& event) = 0;
    // Where the cursor is, from the top-left corner of the shown picture's frame (the window's
    // drawable), in its pixels.
    virtual void cursorPosition(int& x, int& y) = 0;
    virtual void showCursor(bool visible) = 0;
    virtual void messageBox(const std::string& caption, const std::string& text, bool error) = 0;
};

std::unique_ptr<Backend> makeWindowBackend();
std::unique_ptr<Backend> makeHeadlessBackend();

// Maps a point of the shown picture back to the program's pixels (undoing the letterbox).
void shownToProgram(int shownX, int shownY, int& programX, int& programY);

}  // namespace host
