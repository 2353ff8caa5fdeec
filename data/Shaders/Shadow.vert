// Shadow volume: faces turned from the light are pushed away along it; a small lift along
// the light keeps the lit caps behind the surface they come from.
void main()
{
    vec3 light = normalize(LightDirection);
    vec3 normal = normalize(mat3(World) * aNormal);
    vec4 p = World * vec4(aPosition.xyz, 1.0);
    float away = dot(normal, light) > 0.0 ? ShadowExtrude : 0.05;
    p.xyz += light * away;
    gl_Position = toClip(ViewProjection * p);
}
