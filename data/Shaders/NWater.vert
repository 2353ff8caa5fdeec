out vec4 vProjected;
out vec2 vBump;

void main()
{
    vec4 p = vec4(aPosition.xyz, 1.0);
    gl_Position = toClip(WorldViewProjection * p);
    // Where this point lies in the reflection target.
    vProjected = Mprojtex * p;
    vBump = aTexCoord0.xy * 16.0 + vec2(Time * 0.01, Time * 0.007);
}
