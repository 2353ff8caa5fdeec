// Shadow volume: faces turned from the light are pushed away along it; a small lift along
// the light keeps the lit caps behind the surface they come from.
void main()
{
    // Away from the sun, whose direction arrives with x and z exchanged.
    vec3 light = -normalize(LightDir.zyx);
    vec3 normal = normalize(mat3(World) * aNormal);
    vec4 p = World * vec4(aPosition.xyz, 1.0);
    float away = dot(normal, light) > 0.0 ? ShadowExtrude : 0.05;
    p.xyz += light * away;
    gl_Position = toClip(ViewProjection * p);
}
