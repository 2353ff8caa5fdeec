out vec3 vNormal;
out vec2 vTexCoord;

void main()
{
    vec4 p = vec4(aPosition.xyz, 1.0);
    vec4 skinned = vec4(0.0);
    vec3 normal = vec3(0.0);
    for (int i = 0; i < 4; ++i)
    {
        mat4 bone = Bones[min(aBlendIndices[i], 29u)];
        skinned += aBlendWeight[i] * (bone * p);
        normal += aBlendWeight[i] * (mat3(bone) * aNormal);
    }
    gl_Position = toClip(WorldViewProjection * vec4(skinned.xyz, 1.0));
    vNormal = mat3(World) * normal;
    vTexCoord = aTexCoord0.xy;
}
