#pragma once
// The plan of the show's model "meshes/head.3ds" and its textures, shared by gen-head and tests.
//
// The show loads the model once into mesh slot 0 and never draws its triangles; what it does
// with the model is load the textures its materials name. The materials are chosen to exercise
// every path of that loading:
//   Skin   SKIN.JPG, bump SKINBUMP.JPG  colour texture plus a normal map from the height image;
//                                       used by two objects (Head, Neck), so loaded once
//   Eyes   EYEBLEND.JPG                 "BLEND": colour with the alpha of alphaEYEBLEND.JPG
//   Hair   hair.jpg                     lower case, lacks "JPG": never loaded (no file written)
//   Teeth  (no texture map)             makes no texture entry
// Units: the head is about 2.3 units tall, centred on the origin, z up, facing -y (3DS front).

#include <array>

namespace ostravel::headplan {

struct TextureFile {
    const char* name;  // inside "meshes/"
    int width, height;
};
inline constexpr std::array<TextureFile, 4> kTextureFiles = {{
    {"SKIN.JPG", 256, 256},
    {"SKINBUMP.JPG", 256, 256},
    {"EYEBLEND.JPG", 128, 128},
    {"alphaEYEBLEND.JPG", 128, 128},
}};

inline constexpr const char* kUnloadedTexture = "hair.jpg";

// Mesh objects in file order; each has a keyframer node (the eyes hang from the head's node).
inline constexpr std::array<const char*, 6> kObjects = {"Head", "Neck", "EyeL", "EyeR", "Hair", "Teeth"};

inline constexpr int kFrames = 100;  // keyframer frames 0..100: a slow nod and turn

}  // namespace ostravel::headplan
