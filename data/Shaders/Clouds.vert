out vec3 vDirection;
out vec2 vCloud;

void main()
{
    gl_Position = toClip(mSkyBox * vec4(aPosition.xyz, 1.0));
    vDirection = aPosition.xyz;
    // Clouds on a plane above the eye, drifting slowly.
    vCloud = aPosition.xz / max(aPosition.y + 0.2, 0.05) * 0.5 + vec2(Time * 0.002, 0.0);
}
