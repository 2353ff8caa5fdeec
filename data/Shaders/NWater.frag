in vec4 vProjected;
in vec2 vBump;

void main()
{
    vec2 wave = (texture(WBumpMap, vBump).rg * 2.0 - 1.0) * WaveScale;
    vec3 mirrored = texture(ReflectMap, vProjected.xy / vProjected.w + wave).rgb;
    // A little of the water's own blue under the mirror image.
    oColor = vec4(mirrored * 0.85 + vec3(0.0, 0.05, 0.1), 1.0);
}
