out vec3 vNormal;
out vec2 vDetail;
out vec2 vInfo;

void main()
{
    gl_Position = toClip(ViewProjection * vec4(aPosition.xyz, 1.0));
    // Only the side of the water plane the reflection shows.
    gl_ClipDistance[0] = dot(vec4(aPosition.xyz, 1.0), ClipPlane) * ClipSide;
    vNormal = aNormal;
    vDetail = aPosition.xz * 0.125;
    vInfo = vec2(aTexCoord0.y, 1.0 - aTexCoord0.x);
}
