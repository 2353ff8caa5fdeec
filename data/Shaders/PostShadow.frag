in vec2 vTexCoord;

// Darkens what the shadow volumes left marked in the stencil buffer.
void main()
{
    oColor = vec4(0.0, 0.0, 0.0, 0.45);
}
