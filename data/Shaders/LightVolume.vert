out vec4 vScreen;

// The volume's corners also land in the deferred buffers: TextureMatrix maps world positions
// to projective buffer coordinates.
void main()
{
    vec4 world = World * vec4(aPosition.xyz, 1.0);
    gl_Position = toClip(WorldViewProjection * vec4(aPosition.xyz, 1.0));
    vScreen = TextureMatrix * world;
}
