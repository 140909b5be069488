// What the GL driver offers beyond OpenGL 1.x, the extension entry points
// loaded at run time, and the five per-pixel lighting programs with the one
// cached call that selects them. Nothing here is required: every feature
// has a fixed-function path, chosen by the flags below.
#pragma once
#include <GL/gl.h>
#include <GL/glext.h>
#include <string>

// The driver's capabilities; filled once by gl_caps_query after the context
// exists, then narrowed by the user's settings.
struct GLCaps {
    std::string vendor, renderer, version, extensions;  // "NULL" when the driver returns nothing
    bool generate_mipmap = false;     // GL_SGIS_generate_mipmap, and ground mipmaps allowed
    bool framebuffer_object = false;  // GL_EXT_framebuffer_object, and allowed
    bool multitexture = false;        // GL_ARB_multitexture
    bool fragment_shader = false;     // GL_ARB_fragment_shader, allowed, and the programs built
    bool vertex_shader = false;       // GL_ARB_vertex_shader; cleared with fragment_shader
    int texture_units = 1;            // GL_MAX_TEXTURE_UNITS_ARB with multitexture, else 1
};
extern GLCaps gl_caps;

// Every extension entry point the renderer may call, by its GL name.
// Looked up unconditionally; a null member is never called because the
// matching flag stays false.
#define KESTRUM_GL_ENTRY_POINTS(X)                                        \
    X(PFNGLACTIVETEXTUREARBPROC, glActiveTextureARB)                      \
    X(PFNGLCLIENTACTIVETEXTUREARBPROC, glClientActiveTextureARB)          \
    X(PFNGLMULTITEXCOORD2FARBPROC, glMultiTexCoord2fARB)                  \
    X(PFNGLMULTITEXCOORD3FARBPROC, glMultiTexCoord3fARB)                  \
    X(PFNGLMULTITEXCOORD2FVARBPROC, glMultiTexCoord2fvARB)                \
    X(PFNGLMULTITEXCOORD3FVARBPROC, glMultiTexCoord3fvARB)                \
    X(PFNGLGENFRAMEBUFFERSEXTPROC, glGenFramebuffersEXT)                  \
    X(PFNGLBINDFRAMEBUFFEREXTPROC, glBindFramebufferEXT)                  \
    X(PFNGLDELETEFRAMEBUFFERSEXTPROC, glDeleteFramebuffersEXT)            \
    X(PFNGLCHECKFRAMEBUFFERSTATUSEXTPROC, glCheckFramebufferStatusEXT)    \
    X(PFNGLFRAMEBUFFERTEXTURE2DEXTPROC, glFramebufferTexture2DEXT)        \
    X(PFNGLGENERATEMIPMAPEXTPROC, glGenerateMipmapEXT)                    \
    X(PFNGLGENRENDERBUFFERSEXTPROC, glGenRenderbuffersEXT)                \
    X(PFNGLBINDRENDERBUFFEREXTPROC, glBindRenderbufferEXT)                \
    X(PFNGLDELETERENDERBUFFERSEXTPROC, glDeleteRenderbuffersEXT)          \
    X(PFNGLRENDERBUFFERSTORAGEEXTPROC, glRenderbufferStorageEXT)          \
    X(PFNGLFRAMEBUFFERRENDERBUFFEREXTPROC, glFramebufferRenderbufferEXT)  \
    X(PFNGLCREATESHADEROBJECTARBPROC, glCreateShaderObjectARB)            \
    X(PFNGLSHADERSOURCEARBPROC, glShaderSourceARB)                        \
    X(PFNGLCOMPILESHADERARBPROC, glCompileShaderARB)                      \
    X(PFNGLCREATEPROGRAMOBJECTARBPROC, glCreateProgramObjectARB)          \
    X(PFNGLATTACHOBJECTARBPROC, glAttachObjectARB)                        \
    X(PFNGLLINKPROGRAMARBPROC, glLinkProgramARB)                          \
    X(PFNGLUSEPROGRAMOBJECTARBPROC, glUseProgramObjectARB)                \
    X(PFNGLDETACHOBJECTARBPROC, glDetachObjectARB)                        \
    X(PFNGLDELETEOBJECTARBPROC, glDeleteObjectARB)                        \
    X(PFNGLGETOBJECTPARAMETERIVARBPROC, glGetObjectParameterivARB)        \
    X(PFNGLGETINFOLOGARBPROC, glGetInfoLogARB)                            \
    X(PFNGLGETUNIFORMLOCATIONARBPROC, glGetUniformLocationARB)            \
    X(PFNGLUNIFORM1IARBPROC, glUniform1iARB)                              \
    X(PFNGLUNIFORM1FARBPROC, glUniform1fARB)                              \
    X(PFNGLUNIFORM3FARBPROC, glUniform3fARB)                              \
    X(PFNGLUNIFORM4FARBPROC, glUniform4fARB)                              \
    X(PFNGLUNIFORMMATRIX3FVARBPROC, glUniformMatrix3fvARB)                \
    X(PFNGLGETATTRIBLOCATIONARBPROC, glGetAttribLocationARB)              \
    X(PFNGLVERTEXATTRIB3FARBPROC, glVertexAttrib3fARB)                    \
    X(PFNGLVERTEXATTRIBPOINTERARBPROC, glVertexAttribPointerARB)          \
    X(PFNGLENABLEVERTEXATTRIBARRAYARBPROC, glEnableVertexAttribArrayARB)  \
    X(PFNGLDISABLEVERTEXATTRIBARRAYARBPROC, glDisableVertexAttribArrayARB)

struct GLEntryPoints {
#define KESTRUM_GL_MEMBER(type, name) type name = nullptr;
    KESTRUM_GL_ENTRY_POINTS(KESTRUM_GL_MEMBER)
#undef KESTRUM_GL_MEMBER
};
extern GLEntryPoints gl_ep;

// Program table indices (0 is fixed function).
enum GLProgram {
    GL_PROGRAM_NONE = 0,
    GL_PROGRAM_LIT = 1,            // textured models, per-pixel lighting
    GL_PROGRAM_ENV = 2,            // environment-mapped (chrome-like) surfaces
    GL_PROGRAM_NORM_LIT = 3,       // lit with a tangent-space normal map (unit 1)
    GL_PROGRAM_NORM_ENV = 4,       // env with a normal map
    GL_PROGRAM_NORM_SPEC_LIT = 5,  // norm_lit with a specular map (unit 2)
    GL_PROGRAM_COUNT = 6,
};

// True when `name` occurs in the extension string as a whole word.
bool gl_extension_present(const char* extensions, const char* name);

// Fills gl_caps from the current context, loads the entry points and logs
// the driver strings ("GL_VENDOR: %s" ...) and the texture unit count.
void gl_caps_query();

// Applies the user's settings (ground_mipmaps, use_fbo, use_shader): a
// setting that is off clears its flags; with shaders allowed and offered,
// builds the programs (a failed build clears the shader flags).
void gl_caps_apply_settings(bool ground_mipmaps, bool use_fbo, bool use_shader);

// Compiles and links the five programs, logging every driver info log.
// On any failure deletes them all, clears the shader flags, returns false.
bool gl_programs_build();

// Deletes the programs (shutdown); the fixed-function path stays.
void gl_programs_release();

// Makes a program current (0 = fixed function). Ignores indices above 5 and
// the index already current; every real switch is counted.
void gl_use_program(int index);

// The current program index.
int gl_current_program();

// The program object of 1-5, 0 for anything else or when none was built.
GLhandleARB gl_program_object(int index);

// Loads the row-major 3 x 3 environment rotation into "envmat" of the two
// env programs; fixed function is current afterwards.
void gl_set_envmat(const float m[9]);

// Program switches since the last reset (for the render statistics).
int gl_program_switches();
void gl_program_switches_reset();

// True when callers may take the program path needing `units` texture
// units (normal and specular maps need more than one).
bool gl_shaders_usable(int units);
