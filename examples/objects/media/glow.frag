// The coin's shimmer: the sprite's own colours, brightened by a band of
// light that sweeps across it as "time" goes on. Loaded into shader slot 0
// by the objects example; a fragment shader alone keeps the fixed vertex
// stage, so gl_TexCoord[0] and gl_Color arrive as the runtime drew them.
uniform sampler2D TextureID1;
uniform float time;

void main() {
  vec4 texel = texture2D(TextureID1, gl_TexCoord[0].xy) * gl_Color;
  float band = gl_TexCoord[0].x + gl_TexCoord[0].y - fract(time) * 3.0 + 0.5;
  float shine = max(0.0, 1.0 - abs(band) * 4.0);
  gl_FragColor = vec4(min(texel.rgb + shine * 0.6, 1.0), texel.a);
}
