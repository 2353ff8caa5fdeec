out vec3 vNormal;
out vec3 vWorld;
out vec2 vTexCoord;

void main()
{
    gl_Position = toClip(WorldViewProjection * vec4(aPosition.xyz, 1.0));
    vNormal = mat3(World) * aNormal;
    vWorld = (World * vec4(aPosition.xyz, 1.0)).xyz;
    vTexCoord = aTexCoord0.xy;
}
