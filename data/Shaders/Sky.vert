out vec3 vDirection;

void main()
{
    gl_Position = toClip(mSkyBox * vec4(aPosition.xyz, 1.0));
    vDirection = aPosition.xyz;
}
