in vec3 vDirection;

void main()
{
    oColor = vec4(texture(Environment, vDirection).rgb, 1.0);
}
