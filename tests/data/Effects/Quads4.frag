in vec2 vTexCoord;

void main()
{
    oColor = texture(DiffuseMap, vTexCoord) * texture(NormalMap, vTexCoord) * texture(EffectMap, vTexCoord) *
             texture(Environment, vTexCoord);
}
