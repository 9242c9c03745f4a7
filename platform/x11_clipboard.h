// Keeps a text on the X11 clipboard after the program has ended.
//
// An X11 selection lives only as long as its owner. Windows keeps clipboard text after the
// program exits, and so does this: it starts the clipboard keeper, ostravel-clipboard
// (x11_clipboard_keeper.c), a small program of its own found beside this program's binary, hands
// it the text and waits up to a second until the keeper owns CLIPBOARD. The keeper answers for
// the text (UTF8_STRING, STRING, TEXT, TARGETS) until another client takes the clipboard or the
// X server goes away. It holds nothing of this program: no descriptor but its own, no memory, no
// library of ours, and it runs in a session of its own.
#pragma once

#include <string>

namespace ostravel {

// True once the keeper owns the clipboard with the text; false when it cannot be started or does
// not report within the second (it is then stopped).
bool keepClipboardTextOnX11(const std::string& text);

}  // namespace ostravel
