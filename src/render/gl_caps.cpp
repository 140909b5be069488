// Capability discovery and entry-point loading.
#include "render/gl_caps.h"
#include "platform/log.h"
#include "platform/window.h"

#include <cstring>

GLCaps gl_caps;
GLEntryPoints gl_ep;

bool gl_extension_present(const char* extensions, const char* name)
{
    if (!extensions || !name || !*name)
        return false;
    size_t n = std::strlen(name);
    for (const char* p = extensions; (p = std::strstr(p, name)) != nullptr; p += n) {
        bool starts = p == extensions || p[-1] == ' ';
        bool ends = p[n] == '\0' || p[n] == ' ';
        if (starts && ends)
            return true;
    }
    return false;
}

namespace {

std::string gl_string(GLenum which)
{
    const GLubyte* s = glGetString(which);
    return s ? std::string(reinterpret_cast<const char*>(s)) : std::string("NULL");
}

}  // namespace

void gl_caps_query()
{
    gl_caps = GLCaps();
    gl_caps.vendor = gl_string(GL_VENDOR);
    gl_caps.renderer = gl_string(GL_RENDERER);
    gl_caps.version = gl_string(GL_VERSION);
    gl_caps.extensions = gl_string(GL_EXTENSIONS);
    const char* ext = gl_caps.extensions.c_str();
    gl_caps.generate_mipmap = gl_extension_present(ext, "GL_SGIS_generate_mipmap");
    gl_caps.framebuffer_object = gl_extension_present(ext, "GL_EXT_framebuffer_object");
    gl_caps.multitexture = gl_extension_present(ext, "GL_ARB_multitexture");
    gl_caps.fragment_shader = gl_extension_present(ext, "GL_ARB_fragment_shader");
    gl_caps.vertex_shader = gl_extension_present(ext, "GL_ARB_vertex_shader");

#define KESTRUM_GL_LOAD(type, name) gl_ep.name = reinterpret_cast<type>(gl_proc_address(#name));
    KESTRUM_GL_ENTRY_POINTS(KESTRUM_GL_LOAD)
#undef KESTRUM_GL_LOAD

    // A driver that names an extension but lacks its calls is treated as
    // not having it, rather than crashing on the first call.
    if (!gl_ep.glActiveTextureARB || !gl_ep.glClientActiveTextureARB)
        gl_caps.multitexture = false;
    if (!gl_ep.glGenFramebuffersEXT || !gl_ep.glBindFramebufferEXT || !gl_ep.glCheckFramebufferStatusEXT ||
        !gl_ep.glFramebufferTexture2DEXT || !gl_ep.glDeleteFramebuffersEXT)
        gl_caps.framebuffer_object = false;
    if (!gl_ep.glCreateShaderObjectARB || !gl_ep.glShaderSourceARB || !gl_ep.glCompileShaderARB ||
        !gl_ep.glCreateProgramObjectARB || !gl_ep.glAttachObjectARB || !gl_ep.glLinkProgramARB ||
        !gl_ep.glUseProgramObjectARB || !gl_ep.glDetachObjectARB || !gl_ep.glDeleteObjectARB ||
        !gl_ep.glGetObjectParameterivARB || !gl_ep.glGetInfoLogARB || !gl_ep.glGetUniformLocationARB ||
        !gl_ep.glUniform1iARB || !gl_ep.glUniformMatrix3fvARB)
        gl_caps.fragment_shader = gl_caps.vertex_shader = false;

    log_printf("GL_VENDOR: %s\n", gl_caps.vendor.c_str());
    log_printf("GL_RENDERER: %s\n", gl_caps.renderer.c_str());
    log_printf("GL_VERSION: %s\n", gl_caps.version.c_str());
    log_printf("GL_EXTENSIONS: %s\n", gl_caps.extensions.c_str());
    gl_caps.texture_units = 1;
    if (gl_caps.multitexture) {
        GLint units = 1;
        glGetIntegerv(GL_MAX_TEXTURE_UNITS_ARB, &units);
        gl_caps.texture_units = units > 0 ? units : 1;
        log_printf("%d texture units\n", gl_caps.texture_units);
    }
}

void gl_caps_apply_settings(bool ground_mipmaps, bool use_fbo, bool use_shader)
{
    if (!ground_mipmaps)
        gl_caps.generate_mipmap = false;
    if (!use_fbo)
        gl_caps.framebuffer_object = false;
    if (!use_shader)
        gl_caps.fragment_shader = gl_caps.vertex_shader = false;
    if (use_shader && gl_caps.fragment_shader)
        gl_programs_build();
}

bool gl_shaders_usable(int units)
{
    return gl_caps.fragment_shader && gl_caps.vertex_shader && gl_program_object(GL_PROGRAM_LIT) != 0 &&
           gl_caps.texture_units >= units;
}
