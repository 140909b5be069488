// The five per-pixel lighting programs and the cached current program.
// Lighting follows light 0 and the front material of the fixed-function
// state, so the same GL state drives both paths.
#include "platform/log.h"
#include "render/gl_caps.h"

#include <string>
#include <vector>

namespace {

struct ProgramSlot {
    GLhandleARB program = 0, vertex = 0, fragment = 0;
};

ProgramSlot g_slots[GL_PROGRAM_COUNT];
int g_current = 0;
int g_switches = 0;
GLint g_envmat_location[GL_PROGRAM_COUNT] = {-1, -1, -1, -1, -1, -1};

const char* const PROGRAM_NAMES[GL_PROGRAM_COUNT] = {"none", "lit", "env", "norm_lit", "norm_env", "norm_spec_lit"};

// --- shader sources -------------------------------------------------------

const char* LIGHTING_VERTEX = R"(
varying vec3 normal;
varying vec3 lightdir;
varying vec3 viewer;
varying vec4 diffuse;
varying vec4 ambient;
#ifdef TANGENT
varying vec3 tangent;
#endif
void main()
{
    normal = normalize(gl_NormalMatrix * gl_Normal);
    lightdir = normalize(gl_LightSource[0].position.xyz);
    vec4 eye = gl_ModelViewMatrix * gl_Vertex;
    viewer = eye.xyz / eye.w;
    diffuse = gl_FrontMaterial.diffuse * gl_LightSource[0].diffuse;
    ambient = gl_FrontMaterial.ambient * gl_LightSource[0].ambient + gl_LightModel.ambient * gl_FrontMaterial.ambient;
    ambient.a = min(ambient.a, 1.0);
    gl_TexCoord[0] = gl_MultiTexCoord0;
#ifdef TANGENT
    tangent = normalize(gl_NormalMatrix * gl_MultiTexCoord1.xyz);
#endif
    gl_Position = ftransform();
}
)";

const char* LIGHTING_FRAGMENT = R"(
uniform sampler2D tex;
#ifdef NORMAL_MAP
uniform sampler2D nmap;
varying vec3 tangent;
#endif
#ifdef SPECULAR_MAP
uniform sampler2D smap;
#endif
varying vec3 normal;
varying vec3 lightdir;
varying vec3 viewer;
varying vec4 diffuse;
varying vec4 ambient;
void main()
{
    vec3 n = normalize(normal);
#ifdef NORMAL_MAP
    vec3 t = normalize(tangent - n * dot(n, tangent));
    vec3 b = cross(n, t);
    n = normalize(mat3(t, b, n) * (texture2D(nmap, gl_TexCoord[0].st).rgb * 2.0 - 1.0));
#endif
    float ndl = dot(n, lightdir);
    float rdl = max(dot(reflect(normalize(viewer), n), lightdir), 0.0);
    if (ndl < 0.0) {
        ndl = 0.0;
        rdl = 0.0;
    }
    vec4 colour = vec4(ambient.rgb + diffuse.rgb * ndl, ambient.a);
    colour *= texture2D(tex, gl_TexCoord[0].st);
#ifdef SPECULAR_MAP
    vec4 s = texture2D(smap, gl_TexCoord[0].st);
    float e = s.a * 128.0 + 0.125;
    if (e >= 127.875)
        e = gl_FrontMaterial.shininess;
    colour.rgb += s.rgb * gl_LightSource[0].specular.rgb * pow(rdl, e);
#else
    colour.rgb += gl_FrontMaterial.specular.rgb * gl_LightSource[0].specular.rgb *
                  pow(rdl, gl_FrontMaterial.shininess);
#endif
    float z = gl_FragCoord.z / gl_FragCoord.w;
    float f = clamp(exp2(-1.4426950408889634 * gl_Fog.density * z), 0.0, 1.0);
    colour.rgb = mix(gl_Fog.color.rgb, colour.rgb, f);
    gl_FragColor = colour;
}
)";

const char* ENV_VERTEX = R"(
varying vec3 normal;
varying vec3 viewer;
varying vec4 colour;
#ifdef TANGENT
varying vec3 tangent;
#endif
void main()
{
    normal = gl_NormalMatrix * gl_Normal;
    vec4 eye = gl_ModelViewMatrix * gl_Vertex;
#ifdef TANGENT
    viewer = eye.xyz;
    tangent = normalize(gl_NormalMatrix * gl_MultiTexCoord1.xyz);
    gl_TexCoord[0] = gl_MultiTexCoord0;
#else
    viewer = eye.xyz / eye.w;
#endif
    colour = gl_Color;
    gl_Position = ftransform();
}
)";

// The environment texture is an angular map: straight up at the centre,
// the horizon on the circle of radius 0.25, straight down at 0.5.
const char* ENV_FRAGMENT = R"(
uniform sampler2D tex;
uniform mat3 envmat;
#ifdef NORMAL_MAP
uniform sampler2D nmap;
varying vec3 tangent;
#endif
varying vec3 normal;
varying vec3 viewer;
varying vec4 colour;
void main()
{
    vec3 n = normalize(normal);
#ifdef NORMAL_MAP
    vec3 t = normalize(tangent - n * dot(n, tangent));
    vec3 b = cross(n, t);
    n = normalize(mat3(t, b, n) * (texture2D(nmap, gl_TexCoord[0].st).rgb * 2.0 - 1.0));
#endif
    vec3 v = normalize(envmat * reflect(viewer, n));
    float len = length(v.xz);
    vec2 dir = len > 0.0 ? v.xz / len : vec2(0.0, 0.0);
    vec2 t2 = dir * acos(clamp(v.y, -1.0, 1.0)) * 0.15915494309189535;
    gl_FragColor = texture2D(tex, t2 + 0.5) * colour;
}
)";

struct ProgramSource {
    const char* defines;
    const char* vertex;
    const char* fragment;
};

const ProgramSource SOURCES[GL_PROGRAM_COUNT] = {
    {"", nullptr, nullptr},
    {"", LIGHTING_VERTEX, LIGHTING_FRAGMENT},
    {"", ENV_VERTEX, ENV_FRAGMENT},
    {"#define TANGENT\n#define NORMAL_MAP\n", LIGHTING_VERTEX, LIGHTING_FRAGMENT},
    {"#define TANGENT\n#define NORMAL_MAP\n", ENV_VERTEX, ENV_FRAGMENT},
    {"#define TANGENT\n#define NORMAL_MAP\n#define SPECULAR_MAP\n", LIGHTING_VERTEX, LIGHTING_FRAGMENT},
};

// Logs the object's info log under the given heading when it has one (a
// driver may report something even on success).
void log_info(GLhandleARB object, const char* what, const char* program)
{
    GLint length = 0;
    gl_ep.glGetObjectParameterivARB(object, GL_OBJECT_INFO_LOG_LENGTH_ARB, &length);
    if (length < 1)
        return;
    std::vector<GLcharARB> text(size_t(length) + 1, 0);
    GLsizei got = 0;
    gl_ep.glGetInfoLogARB(object, length, &got, text.data());
    text[size_t(got < length ? got : length)] = 0;
    log_printf("%s for %s:\n%s\n", what, program, text.data());
}

bool compile(GLhandleARB shader, const char* what, const char* program)
{
    gl_ep.glCompileShaderARB(shader);
    log_info(shader, what, program);
    GLint ok = 0;
    gl_ep.glGetObjectParameterivARB(shader, GL_OBJECT_COMPILE_STATUS_ARB, &ok);
    return ok != 0;
}

void set_source(GLhandleARB shader, const char* defines, const char* body)
{
    std::string text = std::string("#version 110\n") + defines + body;
    const GLcharARB* s = text.c_str();
    gl_ep.glShaderSourceARB(shader, 1, &s, nullptr);
}

bool build_one(int index)
{
    ProgramSlot& slot = g_slots[index];
    const ProgramSource& src = SOURCES[index];
    const char* name = PROGRAM_NAMES[index];
    slot.vertex = gl_ep.glCreateShaderObjectARB(GL_VERTEX_SHADER_ARB);
    slot.fragment = gl_ep.glCreateShaderObjectARB(GL_FRAGMENT_SHADER_ARB);
    if (!slot.vertex || !slot.fragment)
        return false;
    set_source(slot.vertex, src.defines, src.vertex);
    set_source(slot.fragment, src.defines, src.fragment);
    if (!compile(slot.vertex, "vertex shader status", name))
        return false;
    if (!compile(slot.fragment, "fragment shader status", name))
        return false;
    slot.program = gl_ep.glCreateProgramObjectARB();
    if (!slot.program)
        return false;
    gl_ep.glAttachObjectARB(slot.program, slot.vertex);
    gl_ep.glAttachObjectARB(slot.program, slot.fragment);
    gl_ep.glLinkProgramARB(slot.program);
    log_info(slot.program, "link status", name);
    GLint ok = 0;
    gl_ep.glGetObjectParameterivARB(slot.program, GL_OBJECT_LINK_STATUS_ARB, &ok);
    return ok != 0;
}

void delete_all()
{
    if (g_current != 0 && gl_ep.glUseProgramObjectARB)
        gl_ep.glUseProgramObjectARB(0);
    g_current = 0;
    for (ProgramSlot& slot : g_slots) {
        if (slot.program) {
            if (slot.vertex)
                gl_ep.glDetachObjectARB(slot.program, slot.vertex);
            if (slot.fragment)
                gl_ep.glDetachObjectARB(slot.program, slot.fragment);
            gl_ep.glDeleteObjectARB(slot.program);
        }
        if (slot.vertex)
            gl_ep.glDeleteObjectARB(slot.vertex);
        if (slot.fragment)
            gl_ep.glDeleteObjectARB(slot.fragment);
        slot = ProgramSlot();
    }
    for (GLint& loc : g_envmat_location)
        loc = -1;
}

void set_sampler(int index, const char* name, int unit)
{
    gl_use_program(index);
    GLint loc = gl_ep.glGetUniformLocationARB(g_slots[index].program, name);
    if (loc >= 0)
        gl_ep.glUniform1iARB(loc, unit);
}

}  // namespace

bool gl_programs_build()
{
    if (!gl_caps.fragment_shader || !gl_caps.vertex_shader)
        return false;
    delete_all();
    for (int i = 1; i < GL_PROGRAM_COUNT; i++) {
        if (!build_one(i)) {
            delete_all();
            gl_caps.fragment_shader = gl_caps.vertex_shader = false;
            return false;
        }
    }
    set_sampler(GL_PROGRAM_NORM_LIT, "nmap", 1);
    set_sampler(GL_PROGRAM_NORM_ENV, "nmap", 1);
    set_sampler(GL_PROGRAM_NORM_SPEC_LIT, "nmap", 1);
    set_sampler(GL_PROGRAM_NORM_SPEC_LIT, "smap", 2);
    gl_use_program(0);
    return true;
}

void gl_programs_release()
{
    if (gl_ep.glDeleteObjectARB)
        delete_all();
}

void gl_use_program(int index)
{
    if (index < 0 || index >= GL_PROGRAM_COUNT || index == g_current)
        return;
    // Without built programs every index means fixed function.
    if (index != 0 && !g_slots[index].program)
        return;
    gl_ep.glUseProgramObjectARB(g_slots[index].program);
    g_current = index;
    g_switches++;
}

int gl_current_program()
{
    return g_current;
}

GLhandleARB gl_program_object(int index)
{
    if (index < 1 || index >= GL_PROGRAM_COUNT)
        return 0;
    return g_slots[index].program;
}

void gl_set_envmat(const float m[9])
{
    float columns[9];
    for (int r = 0; r < 3; r++)
        for (int c = 0; c < 3; c++)
            columns[c * 3 + r] = m[r * 3 + c];
    for (int index : {int(GL_PROGRAM_ENV), int(GL_PROGRAM_NORM_ENV)}) {
        if (!g_slots[index].program)
            continue;
        gl_use_program(index);
        if (g_envmat_location[index] == -1)
            g_envmat_location[index] = gl_ep.glGetUniformLocationARB(g_slots[index].program, "envmat");
        if (g_envmat_location[index] >= 0)
            gl_ep.glUniformMatrix3fvARB(g_envmat_location[index], 1, GL_FALSE, columns);
    }
    gl_use_program(0);
}

int gl_program_switches()
{
    return g_switches;
}

void gl_program_switches_reset()
{
    g_switches = 0;
}
