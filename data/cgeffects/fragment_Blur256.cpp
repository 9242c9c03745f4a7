// Glow blur, fragment stage (GLSL 1.30, compatibility profile; the vertex stage is the
// fixed-function one, which hands over the quad's texture coordinate in gl_TexCoord[0]).
//
// 13 taps around the texel: the centre, a ring of 8 at 1.5 texels (every 45 degrees) and a ring
// of 4 at 3.5 texels (turned by 22.5 degrees, between the inner ring's taps). Off-centre taps fall
// between texels, so bilinear filtering gathers about 40 texels. The weights add up to 1: the
// picture keeps its brightness. The glow pass runs this three times a frame over a 128 x 128
// texture, which spreads a point to a soft disc about 12 texels across.
#version 130

uniform sampler2D decal;

void main() {
    vec2 texel = 1.0 / vec2(textureSize(decal, 0));
    vec2 uv = gl_TexCoord[0].st;
    const float d = 1.06066017;  // 1.5 / sqrt(2)
    vec4 inner = texture(decal, uv + texel * vec2(1.5, 0.0)) + texture(decal, uv + texel * vec2(-1.5, 0.0)) +
                 texture(decal, uv + texel * vec2(0.0, 1.5)) + texture(decal, uv + texel * vec2(0.0, -1.5)) +
                 texture(decal, uv + texel * vec2(d, d)) + texture(decal, uv + texel * vec2(-d, d)) +
                 texture(decal, uv + texel * vec2(d, -d)) + texture(decal, uv + texel * vec2(-d, -d));
    const vec2 a = vec2(3.23358, 1.33939);  // 3.5 (cos 22.5, sin 22.5)
    vec4 outer = texture(decal, uv + texel * a) + texture(decal, uv + texel * vec2(-a.y, a.x)) +
                 texture(decal, uv - texel * a) + texture(decal, uv + texel * vec2(a.y, -a.x));
    gl_FragColor = 0.2 * texture(decal, uv) + 0.07 * inner + 0.06 * outer;
}
