// The Pbuffer: the 1024 x 1024 off-screen surface the passes draw into. Its "pbuffer pair" is the
// off-screen GL context (with its own framebuffer object bound), its "window pair" the window's
// context. Switching pairs is all the frame needs of it, so it comes without the renderer's
// records and without GL.
#pragma once

namespace ostravel {

class WindowSystem;

struct Pbuffer {
    WindowSystem* windows = nullptr;  // null: no surface, switching does nothing
};

void makePbufferPairCurrent(const Pbuffer& pbuffer);
void makeWindowPairCurrent(const Pbuffer& pbuffer);

}  // namespace ostravel
