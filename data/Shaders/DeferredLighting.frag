in vec2 vTexCoord;

// The sun and the ambient light over the stored colour; where no geometry wrote a normal the
// colour shows as it is.
void main()
{
    vec4 albedo = texture(Source0, vTexCoord);
    vec3 normal = texture(Source1, vTexCoord).xyz;
    if (abs(length(normal) - 1.0) > 0.05)
    {
        oColor = vec4(albedo.rgb, 1.0);
        return;
    }
    float sun = max(dot(normalize(normal), normalize(LightDir.zyx)), 0.0);
    vec3 light = Ambient.rgb + LightColor.rgb * sun;
    oColor = vec4(albedo.rgb * min(light, vec3(1.0)), 1.0);
}
