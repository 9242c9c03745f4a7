// Glow blur, fragment stage (GLSL 1.30, compatibility profile; the vertex stage is the
// fixed-function one, which hands over the quad's texture coordinate in gl_TexCoord[0]).
//
// 9 taps around the texel: the centre (weight 0.2), four at 1.5 texels along the axes and four at
// (2, 2) texels on the diagonals (0.1 each). The axis taps fall between texels, so bilinear
// filtering gathers 21 texels; the weights add up to 1, so the picture keeps its brightness. Each
// run spreads a point with a standard deviation of about 1.5 texels; the glow pass runs it three
// times a frame over a 128 x 128 texture (about 2.5 texels, 16 pixels on an 800-pixel screen), and
// the feedback of earlier frames widens it further into a soft trail.
#version 130

uniform sampler2D decal;

void main() {
    vec2 texel = 1.0 / vec2(textureSize(decal, 0));
    vec2 uv = gl_TexCoord[0].st;
    vec4 axes = texture(decal, uv + texel * vec2(1.5, 0.0)) + texture(decal, uv + texel * vec2(-1.5, 0.0)) +
                texture(decal, uv + texel * vec2(0.0, 1.5)) + texture(decal, uv + texel * vec2(0.0, -1.5));
    vec4 diagonals = texture(decal, uv + texel * vec2(2.0, 2.0)) + texture(decal, uv + texel * vec2(-2.0, 2.0)) +
                     texture(decal, uv + texel * vec2(2.0, -2.0)) + texture(decal, uv + texel * vec2(-2.0, -2.0));
    gl_FragColor = 0.2 * texture(decal, uv) + 0.1 * (axes + diagonals);
}
