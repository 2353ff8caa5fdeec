in vec3 vNormal;
in vec2 vTexCoord;

void main()
{
    vec4 base = Diffuse * ModelColor;
    if (UseTexture != 0)
        base *= texture(DiffuseMap, vTexCoord);
    // Half-Lambert keeps the unlit side readable.
    float light = dot(normalize(vNormal + vec3(0.0, 0.0, 1e-6)), -LightDirection) * 0.5 + 0.5;
    vec3 lit = base.rgb * (AmbientLight.rgb + LightColor.rgb * light);
    vec4 color = vec4(min(lit, vec3(1.0)), base.a);
    alphaTest(color.a);
    oColor = color;
}
