out vec3 vDirection;

void main()
{
    // On the far plane, drawn after the ground: the depth test spares the pixels it covers.
    vec4 p = mSkyBox * vec4(aPosition.xyz, 1.0);
    gl_Position = toClip(vec4(p.xy, p.w, p.w));
    vDirection = aPosition.xyz;
}
