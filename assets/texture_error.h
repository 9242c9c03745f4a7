// What a TextureBank loader reports: nothing (the texture was made) or why it made none, with the
// path the user is shown. Apart from texture_bank.h so that records holding a result need no GL.
#pragma once

#include <string>

namespace ostravel {

// The path in a result is the one the message names: the file itself, or the colour picture when
// its alpha picture fails.
enum class TextureError {
    None,
    CannotOpen,         // loadTexture: the file cannot be opened
    CannotOpenPicture,  // loadTextureWithAlpha, loadNormalMap: a picture cannot be opened
    NotDecodable,       // a header or a row does not decode, or colour and alpha sizes differ
};

struct [[nodiscard]] TextureResult {
    TextureError error = TextureError::None;
    std::string path;
    explicit operator bool() const { return error == TextureError::None; }
};

}  // namespace ostravel
