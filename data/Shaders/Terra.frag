in vec3 vLight;
in vec2 vGround;

void main()
{
    // Dirt, grass and rock already blended by the info weights.
    oColor = vec4(min(texture(GroundMap, vGround).rgb * vLight, vec3(1.0)), 1.0);
}
