// Chunk ids of the 3DS format (3D Studio's own numbering), shared by the reader and the writer.
// Internal to models/.
#pragma once

#include <cstdint>

namespace ostravel::chunk3ds {

enum : uint16_t {
    // Top level
    kMain = 0x4D4D,
    kVersion = 0x0002,
    kEditor = 0x3D3D,
    kMeshVersion = 0x3D3E,
    kMasterScale = 0x0100,
    kKeyframer = 0xB000,
    // Colours and percentages (sub-chunks of colours, percentages and maps)
    kColourFloat = 0x0010,
    kColourBytes = 0x0011,
    kColourGammaBytes = 0x0012,
    kColourGammaFloat = 0x0013,
    kPercentInt = 0x0030,
    kPercentFloat = 0x0031,
    // Materials
    kMaterial = 0xAFFF,
    kMaterialName = 0xA000,
    kAmbient = 0xA010,
    kDiffuse = 0xA020,
    kSpecular = 0xA030,
    kShininess = 0xA040,
    kTransparency = 0xA050,
    kWireShading = 0xA085,
    kShading = 0xA100,
    kTexture1 = 0xA200,
    kTexture2 = 0xA33A,
    kOpacityMap = 0xA210,
    kReflectionMap = 0xA220,
    kBumpMap = 0xA230,
    kSpecularMap = 0xA204,
    kMapFile = 0xA300,
    kMapUScale = 0xA354,
    kMapVScale = 0xA356,
    kMapUOffset = 0xA358,
    kMapVOffset = 0xA35A,
    kMapRotation = 0xA35C,
    // Named objects
    kNamedObject = 0x4000,
    kMesh = 0x4100,
    kVertices = 0x4110,
    kFaces = 0x4120,
    kFaceMaterial = 0x4130,
    kTexCoords = 0x4140,
    kSmoothing = 0x4150,
    kLocalMatrix = 0x4160,
    kLight = 0x4600,
    kSpotlight = 0x4610,
    kInnerRange = 0x4659,
    kOuterRange = 0x465A,
    kCamera = 0x4700,
    kCameraRanges = 0x4720,
    // Keyframer
    kObjectNode = 0xB002,
    kCameraNode = 0xB003,
    kLightNode = 0xB005,
    kFrames = 0xB008,
    kKeyframerHeader = 0xB00A,
    kNodeHeader = 0xB010,
    kPivot = 0xB013,
    kPositionTrack = 0xB020,
    kRotationTrack = 0xB021,
    kScaleTrack = 0xB022,
    kNodeId = 0xB030,
};

}  // namespace ostravel::chunk3ds
