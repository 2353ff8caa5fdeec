in vec2 vTexCoord;

void main()
{
    // ModelColor fades the decal over its lifetime.
    oColor = texture(DiffuseMap, vTexCoord) * ModelColor;
}
