out vec3 vLight;
out vec2 vGround;

void main()
{
    gl_Position = toClip(ViewProjection * vec4(aPosition.xyz, 1.0));
    // Lit per vertex: the ground's normals vary slowly, and each pixel is spared the work.
    // The light direction arrives with x and z exchanged.
    float light = max(dot(normalize(aNormal + vec3(0.0, 1e-6, 0.0)), LightDir.zyx), 0.0);
    vLight = Ambient.rgb + LightColor.rgb * light;
    // The patch's baked ground spans the patch: PatchOrigin holds its corner and 1 / its side.
    vGround = (aPosition.xz - PatchOrigin.xy) * PatchOrigin.z;
}
