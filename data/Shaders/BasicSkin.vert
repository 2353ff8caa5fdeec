out vec3 vLight;
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
    // Lit per vertex, as in Basic.vert.
    vec3 n = normalize(mat3(World) * normal + vec3(0.0, 0.0, 1e-6));
    vLight = Ambient.rgb + LightColor.rgb * max(dot(n, LightDir.zyx), 0.0);
    vTexCoord = aTexCoord0.xy;
}
