in vec2 vTexCoord;

void main()
{
    oColor = vec4(texture(Source0, vTexCoord).rgb, 1.0);
}
