in vec4 vColor;

void main()
{
    oColor = vColor * NotDeclaredAnywhere;
}
