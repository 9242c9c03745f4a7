// Keeps a text on the X11 clipboard after the program has ended.
//
// An X11 selection lives only as long as its owner. Windows keeps clipboard text after the
// program exits, and so does this: a small child process (as xclip does) takes ownership of
// CLIPBOARD, answers requests for the text (UTF8_STRING, STRING, TEXT, TARGETS) and ends as soon
// as another client takes the clipboard or the X server goes away.
#pragma once

#include <string>

namespace ostravel {

// False when there is no X display to put the text on.
bool keepClipboardTextOnX11(const std::string& text);

}  // namespace ostravel
