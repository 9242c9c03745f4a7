// Projective texturing, vertex stage (GLSL 1.20, compatibility profile).
//
// ModelViewProj places the vertex on screen. ModelViewLightProj is the light's biased
// projection-view matrix: it maps a world position into the light's depth texture, [0, 1] in
// each axis after the divide by w. ModelViewObject takes object coordinates to world
// coordinates; nothing sets it, so it keeps the identity given here. CameraPos and LightPos are
// world positions for the lighting term.
#version 120

uniform mat4 ModelViewProj;
uniform mat4 ModelViewLightProj;
uniform mat4 ModelViewObject = mat4(1.0);
uniform vec3 CameraPos;
uniform vec3 LightPos;

varying vec4 shadowCoord;
varying vec3 worldNormal;
varying vec3 toLight;
varying vec3 toCamera;

void main() {
    vec4 world = ModelViewObject * gl_Vertex;
    gl_Position = ModelViewProj * gl_Vertex;
    shadowCoord = ModelViewLightProj * world;
    worldNormal = mat3(ModelViewObject) * gl_Normal;
    toLight = LightPos - world.xyz;
    toCamera = CameraPos - world.xyz;
    gl_FrontColor = gl_Color;
    gl_TexCoord[0] = gl_MultiTexCoord0;
}
