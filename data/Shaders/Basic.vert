out vec3 vNormal;
out vec2 vTexCoord;

void main()
{
    // Engine row vectors: p * World * ViewProjection.
    gl_Position = toClip(WorldViewProjection * vec4(aPosition.xyz, 1.0));
    vNormal = mat3(World) * aNormal;
    vTexCoord = aTexCoord0.xy;
}
