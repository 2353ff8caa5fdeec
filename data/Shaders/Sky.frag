in vec3 vDirection;

void main()
{
    vec3 dir = normalize(vDirection);
    float mu = dot(dir, sun_vec.xyz);
    // Rayleigh share of the scattering blues the sky; the Mie lobe brightens round the sun.
    vec3 rayleigh = atm[0].rgb * atm[6].rgb * (0.75 * (1.0 + mu * mu));
    float mie = atm[7].x / pow(max(atm[7].y - atm[7].z * mu, 1e-3), 1.5);
    vec3 light = sun_color.rgb * clamp(sun_vec.y * 2.0 + 0.2, 0.0, 1.0);
    vec3 sky = (rayleigh * vec3(0.9, 1.2, 2.6) + atm[10].rgb * mie * 0.02) * light;
    float horizon = 1.0 - clamp(dir.y, 0.0, 1.0);
    oColor = vec4(clamp(sky + horizon * 0.25 * light, 0.0, 1.0), 1.0);
}
