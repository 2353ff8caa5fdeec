out vec3 vNormal;
out vec2 vGround;

void main()
{
    gl_Position = toClip(ViewProjection * vec4(aPosition.xyz, 1.0));
    vNormal = aNormal;
    // The patch's baked ground spans the patch: PatchOrigin holds its corner and 1 / its side.
    vGround = (aPosition.xz - PatchOrigin.xy) * PatchOrigin.z;
}
