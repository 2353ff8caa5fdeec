// Only the stencil counts; colour writes are off.
void main()
{
    oColor = vec4(0.0);
}
