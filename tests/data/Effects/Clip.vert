out vec4 vColor;

void main()
{
    // Positions are given in engine clip space already.
    gl_Position = toClip(vec4(aPosition.xyz, 1.0));
    vColor = aColor0;
}
