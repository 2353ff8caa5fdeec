out vec2 vTexCoord;

// The quad's corners are already in clip space.
void main()
{
    gl_Position = toClip(vec4(aPosition.xyz, 1.0));
    vTexCoord = aTexCoord0.xy;
}
