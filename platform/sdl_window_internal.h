// Between the SDL window system and what draws on its window beside the show (the preview's
// overlay): for platform/ only. The window and context are null while there is no window.
#pragma once

struct SDL_Window;
union SDL_Event;

namespace ostravel {

SDL_Window* sdlShowWindow();
void* sdlShowContext();

// Every event the window system takes off SDL's queue is shown here first (null: nobody looks).
using SdlEventTap = void (*)(const SDL_Event& event);
void setSdlEventTap(SdlEventTap tap);

}  // namespace ostravel
