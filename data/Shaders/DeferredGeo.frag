in vec3 vNormal;
in vec3 vWorld;
in vec2 vTexCoord;

// Colour, normal and position into the three buffers the lighting pass reads.
void main()
{
    vec4 albedo = Diffuse * ModelColor;
    if (UseTexture != 0)
        albedo *= texture(DiffuseMap, vTexCoord);
    oColor = albedo;
    oColor1 = vec4(normalize(vNormal), 1.0);
    oColor2 = vec4(vWorld, 1.0);
}
