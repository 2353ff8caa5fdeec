in vec2 vTexCoord;

void main()
{
    vec4 color = texture(DiffuseMap, vTexCoord) * Diffuse;
    alphaTest(color.a);
    oColor = color;
}
