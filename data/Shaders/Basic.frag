in vec3 vLight;
in vec2 vTexCoord;

void main()
{
    vec4 base = Diffuse * ModelColor;
    if (UseTexture != 0)
        base *= texture(DiffuseMap, vTexCoord);
    vec4 color = vec4(min(base.rgb * vLight, vec3(1.0)), base.a);
    alphaTest(color.a);
    oColor = color;
}
