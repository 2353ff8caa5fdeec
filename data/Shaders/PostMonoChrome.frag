in vec2 vTexCoord;

void main()
{
    float grey = dot(texture(Source0, vTexCoord).rgb, vec3(0.299, 0.587, 0.114));
    oColor = vec4(grey, grey, grey, 1.0);
}
