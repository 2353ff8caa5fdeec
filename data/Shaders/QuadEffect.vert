out vec2 vTexCoord;

void main()
{
    gl_Position = toClip(ViewProjection * (Effect * vec4(aPosition.xyz, 1.0)));
    vTexCoord = aTexCoord0.xy;
}
