// Projective texturing, fragment stage (GLSL 1.20, compatibility profile).
//
// The depth texture bound to unit 0 (compare mode on: a shadow sampler) is projected from the
// light: a fragment the light sees gets a diffuse term and an anisotropic highlight that runs
// across the surface (Kajiya-Kay, tangent taken across the world's up axis); a fragment in
// shadow, or behind the light, keeps only the ambient share of its colour.
#version 120

uniform sampler2DShadow depthMap;

varying vec4 shadowCoord;
varying vec3 worldNormal;
varying vec3 toLight;
varying vec3 toCamera;

void main() {
    vec3 n = normalize(worldNormal);
    vec3 l = normalize(toLight);
    vec3 v = normalize(toCamera);
    vec3 across = cross(n, vec3(0.0, 1.0, 0.0));
    vec3 t = dot(across, across) > 1e-6 ? normalize(across) : vec3(1.0, 0.0, 0.0);
    vec3 h = normalize(l + v);
    float th = dot(t, h);
    float highlight = pow(sqrt(max(1.0 - th * th, 0.0)), 48.0);

    float inFront = step(0.0, shadowCoord.w);
    float lit = inFront * shadow2DProj(depthMap, shadowCoord).r;
    float diffuse = max(dot(n, l), 0.0);

    vec3 colour = gl_Color.rgb * (0.3 + 0.7 * lit * diffuse) + vec3(0.35 * lit * highlight * diffuse);
    gl_FragColor = vec4(colour, gl_Color.a);
}
