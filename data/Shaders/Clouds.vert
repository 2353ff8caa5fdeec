out vec3 vDirection;
out vec2 vCloud;

void main()
{
    // On the far plane, drawn after the ground: the depth test spares the pixels it covers.
    vec4 p = mSkyBox * vec4(aPosition.xyz, 1.0);
    gl_Position = toClip(vec4(p.xy, p.w, p.w));
    vDirection = aPosition.xyz;
    // Clouds on a plane above the eye, drifting slowly.
    vCloud = aPosition.xz / max(aPosition.y + 0.2, 0.05) * 0.5 + vec2(Time * 0.002, 0.0);
}
