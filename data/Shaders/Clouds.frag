in vec3 vDirection;
in vec2 vCloud;

void main()
{
    vec3 dir = normalize(vDirection);
    float day = clamp(sun_vec.y * 3.0 + 0.3, 0.0, 1.0);
    float cover = texture(tex0, vCloud).a * smoothstep(0.0, 0.3, dir.y);
    vec3 stars = texture(tex1, vCloud * 2.0).rgb * (1.0 - day) * step(0.0, dir.y);
    vec3 cloud = mix(vec3(0.15), sun_color.rgb, day);
    float alpha = max(cover, max(stars.r, max(stars.g, stars.b)));
    oColor = vec4(mix(stars, cloud, cover), alpha);
}
