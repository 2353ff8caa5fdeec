out vec3 vDirection;

void main()
{
    // Turn with the camera, never move: only the view's rotation; depth on the far plane, so
    // what was drawn before hides it.
    vec4 p = Projection * vec4((View * vec4(aPosition.xyz, 0.0)).xyz, 1.0);
    gl_Position = toClip(vec4(p.xy, p.w, p.w));
    vDirection = aPosition.xyz;
}
