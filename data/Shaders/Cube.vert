out vec3 vDirection;

void main()
{
    // Turn with the camera, never move: only the view's rotation; depth pinned to the far plane.
    vec4 p = Projection * vec4((View * vec4(aPosition.xyz, 0.0)).xyz, 1.0);
    gl_Position = toClip(vec4(p.xy, p.w * 0.9999, p.w));
    vDirection = aPosition.xyz;
}
