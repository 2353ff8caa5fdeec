// The skinned shadow volume: the face normal is blended like the position, then extruded.
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
    vec3 light = -normalize(LightDir.zyx);
    vec4 world = World * vec4(skinned.xyz, 1.0);
    vec3 n = normalize(mat3(World) * normal + vec3(0.0, 0.0, 1e-6));
    float away = dot(n, light) > 0.0 ? ShadowExtrude : 0.05;
    world.xyz += light * away;
    gl_Position = toClip(ViewProjection * world);
}
