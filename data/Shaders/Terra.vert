out vec3 vNormal;
out vec2 vDetail;
out vec2 vInfo;

void main()
{
    gl_Position = toClip(ViewProjection * vec4(aPosition.xyz, 1.0));
    vNormal = aNormal;
    // Layer textures repeat every eight tiles; the info texture spans the map, rows from +z down.
    vDetail = aPosition.xz * 0.125;
    vInfo = vec2(aTexCoord0.y, 1.0 - aTexCoord0.x);
}
