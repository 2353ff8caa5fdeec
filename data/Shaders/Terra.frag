in vec3 vNormal;
in vec2 vGround;

void main()
{
    // Dirt, grass and rock already blended by the info weights.
    vec3 base = texture(GroundMap, vGround).rgb;
    // The light direction arrives with x and z exchanged.
    float light = max(dot(normalize(vNormal + vec3(0.0, 1e-6, 0.0)), LightDir.zyx), 0.0);
    oColor = vec4(min(base * (Ambient.rgb + LightColor.rgb * light), vec3(1.0)), 1.0);
}
