in vec2 vTexCoord;

// The scene with its blurred copy added on top.
void main()
{
    vec3 scene = texture(Source0, vTexCoord).rgb;
    vec3 glow = texture(Source1, vTexCoord).rgb;
    oColor = vec4(scene + glow * 0.6, 1.0);
}
