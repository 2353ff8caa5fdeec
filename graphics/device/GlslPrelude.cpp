#include "graphics/device/GlslPrelude.h"

#include "graphics/device/GraphicsDevice.h"

const std::string& VertexPrelude()
{
    static const std::string text = [] {
        std::string out = "#version 330 core\n";
        for (size_t i = 0; i < kVertexAttributes.size(); ++i)
            out += "layout(location = " + std::to_string(i) + ") in " + kVertexAttributes[i].mGlslType + " " +
                kVertexAttributes[i].mName + ";\n";
        return out + R"(uniform vec4 uClipPlanes[6];
uniform float uPointSize;
// 0 while drawing into our own targets, whose top row is GL's row 0; 1 in the window, whose
// rows are GL's own.
uniform float uRowsUp;
out float gl_ClipDistance[6];
// Engine clip space (depth 0..1, y up) to GL's; clip planes are given in engine clip space.
vec4 toClip(vec4 p)
{
    for (int i = 0; i < 6; ++i)
        gl_ClipDistance[i] = dot(p, uClipPlanes[i]);
    return vec4(p.x, (2.0 * uRowsUp - 1.0) * p.y, 2.0 * p.z - p.w, p.w);
}
)";
    }();
    return text;
}

const std::string& FragmentPrelude()
{
    static const std::string text = R"(#version 330 core
uniform int uAlphaFunc;
uniform float uAlphaRef;
layout(location = 0) out vec4 oColor;
layout(location = 1) out vec4 oColor1;
layout(location = 2) out vec4 oColor2;
layout(location = 3) out vec4 oColor3;
// The fixed-function alpha test: 0 off, else the compare function + 1.
void alphaTest(float a)
{
    bool pass = true;
    if (uAlphaFunc == 1) pass = false;
    else if (uAlphaFunc == 2) pass = a < uAlphaRef;
    else if (uAlphaFunc == 3) pass = a == uAlphaRef;
    else if (uAlphaFunc == 4) pass = a <= uAlphaRef;
    else if (uAlphaFunc == 5) pass = a > uAlphaRef;
    else if (uAlphaFunc == 6) pass = a != uAlphaRef;
    else if (uAlphaFunc == 7) pass = a >= uAlphaRef;
    if (!pass) discard;
}
)";
    return text;
}

std::string BuiltinVertexSource(int which)
{
    std::string body = VertexPrelude() + R"(uniform mat4 uWorld;
uniform mat4 uViewProjection;
uniform mat4 uView;
uniform vec4 uPointScale;
uniform vec2 uScreenSize;
out vec4 vColor;
out vec2 vTexCoord;
void main()
{
    vColor = aColor0;
    vTexCoord = aTexCoord0.xy;
)";
    if (which == 0)
        body += R"(    vec2 p = aPosition.xy / uScreenSize * 2.0 - 1.0;
    gl_Position = toClip(vec4(p.x, -p.y, aPosition.z, 1.0));
}
)";
    else
        body += R"(    vec4 world = uWorld * vec4(aPosition.xyz, 1.0);
    gl_Position = toClip(uViewProjection * world);
    gl_PointSize = uPointSize;
    // x: scale on, y: viewport height, z and w: the size clamp.
    if (uPointScale.x > 0.0)
        gl_PointSize = clamp(uPointScale.y * uPointSize / max(length((uView * world).xyz), 1e-6), uPointScale.z, uPointScale.w);
}
)";
    return body;
}

std::string BuiltinFragmentSource(int which)
{
    return FragmentPrelude() + R"(uniform sampler2D uTexture;
uniform int uUseTexture;
in vec4 vColor;
in vec2 vTexCoord;
void main()
{
    vec2 uv = )" +
        std::string(which == 3 ? "gl_PointCoord" : "vTexCoord") + R"(;
    vec4 c = vColor * (uUseTexture != 0 ? texture(uTexture, uv) : vec4(1.0));
    alphaTest(c.a);
    oColor = c;
}
)";
}
