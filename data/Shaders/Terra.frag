in vec3 vNormal;
in vec2 vDetail;
in vec2 vInfo;

void main()
{
    // Info weights: red dirt, green grass, blue rock.
    vec3 w = texture(InfoLayer, vInfo).rgb;
    vec3 base = texture(DirtLayer, vDetail).rgb * w.r + texture(GrassLayer, vDetail).rgb * w.g +
                texture(RockLayer, vDetail).rgb * w.b;
    // The light direction arrives with x and z exchanged.
    float light = max(dot(normalize(vNormal + vec3(0.0, 1e-6, 0.0)), LightDir.zyx), 0.0);
    oColor = vec4(min(base * (Ambient.rgb + LightColor.rgb * light), vec3(1.0)), 1.0);
}
