#pragma once
// What the raw-OpenGL references of the frame benchmarks share.
#include <epoxy/gl.h>

#include <string>

// A program of one vertex and one fragment shader, in use from the start.
class BenchGlProgram
{
public:
    BenchGlProgram(const std::string& vertex, const std::string& fragment)
        : mVertex(Compile(GL_VERTEX_SHADER, vertex)), mFragment(Compile(GL_FRAGMENT_SHADER, fragment)),
          mProgram(glCreateProgram())
    {
        glAttachShader(mProgram, mVertex);
        glAttachShader(mProgram, mFragment);
        glLinkProgram(mProgram);
        glUseProgram(mProgram);
    }
    ~BenchGlProgram()
    {
        glDeleteProgram(mProgram);
        glDeleteShader(mVertex);
        glDeleteShader(mFragment);
    }
    BenchGlProgram(const BenchGlProgram&) = delete;
    BenchGlProgram& operator=(const BenchGlProgram&) = delete;

    GLint Uniform(const char* name) const { return glGetUniformLocation(mProgram, name); }

private:
    static GLuint Compile(GLenum kind, const std::string& text)
    {
        const GLuint shader = glCreateShader(kind);
        const char* p = text.c_str();
        glShaderSource(shader, 1, &p, nullptr);
        glCompileShader(shader);
        return shader;
    }

    GLuint mVertex, mFragment, mProgram;
};

// The device draws into an offscreen colour and depth-stencil target of the window's size and
// shows it by a flipping blit; the references do the same.
class BenchGlTarget
{
public:
    BenchGlTarget(int width, int height) : mWidth(width), mHeight(height)
    {
        glGenFramebuffers(1, &mFbo);
        glGenRenderbuffers(2, mRenderbuffers);
        glBindRenderbuffer(GL_RENDERBUFFER, mRenderbuffers[0]);
        glRenderbufferStorage(GL_RENDERBUFFER, GL_RGB8, width, height);
        glBindRenderbuffer(GL_RENDERBUFFER, mRenderbuffers[1]);
        glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, width, height);
        glBindFramebuffer(GL_FRAMEBUFFER, mFbo);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, mRenderbuffers[0]);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, mRenderbuffers[1]);
        glViewport(0, 0, width, height);
    }
    ~BenchGlTarget()
    {
        glDeleteFramebuffers(1, &mFbo);
        glDeleteRenderbuffers(2, mRenderbuffers);
    }
    BenchGlTarget(const BenchGlTarget&) = delete;
    BenchGlTarget& operator=(const BenchGlTarget&) = delete;

    void Bind() const { glBindFramebuffer(GL_FRAMEBUFFER, mFbo); }
    // Copies the frame to the window's back buffer, top row first as the device shows it.
    void Show() const
    {
        glBindFramebuffer(GL_READ_FRAMEBUFFER, mFbo);
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
        glBlitFramebuffer(0, 0, mWidth, mHeight, 0, mHeight, mWidth, 0, GL_COLOR_BUFFER_BIT, GL_NEAREST);
    }

private:
    int mWidth, mHeight;
    GLuint mFbo = 0;
    GLuint mRenderbuffers[2] = {};
};
