in vec2 vTexCoord;

void main()
{
    vec4 color = texture(DiffuseMap, vTexCoord) * ModelColor;
    alphaTest(color.a);
    oColor = color;
}
