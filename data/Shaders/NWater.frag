in vec4 vProjected;
in vec2 vBump;

void main()
{
    vec2 wave = (texture(WBumpMap, vBump).rg * 2.0 - 1.0) * WaveScale;
    vec3 mirrored = texture(ReflectMap, vProjected.xy / vProjected.w + wave).rgb;
    // A little of the water's own blue, lit by the sun, under the mirror image.
    vec3 sun = Ambient.rgb + LightColor.rgb * max(LightDir.y, 0.0);
    oColor = vec4(min(mirrored * 0.85 + vec3(0.0, 0.05, 0.1) * sun, vec3(1.0)), 1.0);
}
