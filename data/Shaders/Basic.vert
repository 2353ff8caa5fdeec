out vec3 vLight;
out vec2 vTexCoord;

void main()
{
    // Engine row vectors: p * World * ViewProjection.
    gl_Position = toClip(WorldViewProjection * vec4(aPosition.xyz, 1.0));
    // Lit per vertex, as the ground is: the light is diffuse only, and each pixel is spared the work.
    // The sun's direction arrives with x and z exchanged; the ambient keeps the unlit side readable.
    vec3 normal = normalize(mat3(World) * aNormal + vec3(0.0, 0.0, 1e-6));
    vLight = Ambient.rgb + LightColor.rgb * max(dot(normal, LightDir.zyx), 0.0);
    vTexCoord = aTexCoord0.xy;
}
