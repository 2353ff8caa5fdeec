in vec4 vScreen;

// One point light over the stored colour, added to what the combine pass wrote. Only stored
// points within the light's range (the volume's scale) are lit; where no geometry wrote a
// normal nothing is added.
void main()
{
    vec2 uv = vScreen.xy / vScreen.w;
    vec3 normal = texture(Source1, uv).xyz;
    if (abs(length(normal) - 1.0) > 0.05)
        discard;
    vec3 toLight = VolLightPosition - texture(Source2, uv).xyz;
    float dist = length(toLight);
    if (dist > length(World[0].xyz))
        discard;
    // All-zero factors would divide by zero: such a light does not fade.
    float att = Att0 + Att1 * dist + Att2 * dist * dist;
    float fade = att > 1e-6 ? 1.0 / att : 1.0;
    float facing = dist > 1e-4 ? max(dot(normalize(normal), toLight / dist), 0.0) : 1.0;
    vec3 albedo = texture(Source0, uv).rgb;
    oColor = vec4(albedo * VLightColor.rgb * (facing * fade), 1.0);
}
