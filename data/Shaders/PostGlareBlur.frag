in vec2 vTexCoord;

// Four taps around the texel, pushed further out each iteration by the offsets.
void main()
{
    vec4 sum = texture(Source0, vTexCoord + vOffset01.xy);
    sum += texture(Source1, vTexCoord + vOffset01.zw);
    sum += texture(Source2, vTexCoord + vOffset02.xy);
    sum += texture(Source3, vTexCoord + vOffset02.zw);
    oColor = sum * 0.25;
}
