out vec2 vTexCoord;

void main()
{
    gl_Position = toClip(WorldViewProjection * vec4(aPosition.xyz, 1.0));
    vTexCoord = aTexCoord0.xy + WorldView[3].xy * 0.0;
}
