in vec3 vNormal;
in vec2 vTexCoord;

void main()
{
    vec4 base = Diffuse * ModelColor;
    if (UseTexture != 0)
        base *= texture(DiffuseMap, vTexCoord);
    // The sun's direction arrives with x and z exchanged; the ambient keeps the unlit side readable.
    float light = max(dot(normalize(vNormal + vec3(0.0, 0.0, 1e-6)), LightDir.zyx), 0.0);
    vec3 lit = base.rgb * (Ambient.rgb + LightColor.rgb * light);
    vec4 color = vec4(min(lit, vec3(1.0)), base.a);
    alphaTest(color.a);
    oColor = color;
}
