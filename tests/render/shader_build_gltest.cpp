// Program building against a scripted driver: the entry points are
// replaced by fakes, so info logs and failures can be forced without a
// window.
#include "render/gl_caps.h"
#include "render_gl_support.h"

#include <cstring>
#include <map>
#include <set>

namespace {

struct FakeDriver {
    GLhandleARB next = 100;
    std::set<GLhandleARB> live;
    std::map<GLhandleARB, GLenum> kind;  // shader type, or 0 for programs
    int compiles = 0;
    int fail_compile_at = -1;  // this compile (0-based) fails
    const char* log = "";
    GLhandleARB current = 0;
};
FakeDriver* fake = nullptr;

GLhandleARB APIENTRY fake_create_shader(GLenum type)
{
    fake->live.insert(fake->next);
    fake->kind[fake->next] = type;
    return fake->next++;
}
GLhandleARB APIENTRY fake_create_program()
{
    fake->live.insert(fake->next);
    fake->kind[fake->next] = 0;
    return fake->next++;
}
void APIENTRY fake_source(GLhandleARB, GLsizei, const GLcharARB**, const GLint*) {}
void APIENTRY fake_compile(GLhandleARB) {}
void APIENTRY fake_attach(GLhandleARB, GLhandleARB) {}
void APIENTRY fake_detach(GLhandleARB, GLhandleARB) {}
void APIENTRY fake_link(GLhandleARB) {}
void APIENTRY fake_use(GLhandleARB p)
{
    fake->current = p;
}
void APIENTRY fake_delete(GLhandleARB o)
{
    fake->live.erase(o);
}
void APIENTRY fake_param(GLhandleARB o, GLenum pname, GLint* out)
{
    if (pname == GL_OBJECT_INFO_LOG_LENGTH_ARB)
        *out = GLint(std::strlen(fake->log));
    else if (pname == GL_OBJECT_COMPILE_STATUS_ARB)
        *out = fake->compiles++ == fake->fail_compile_at ? 0 : 1;
    else
        *out = 1;
}
void APIENTRY fake_info(GLhandleARB, GLsizei max, GLsizei* len, GLcharARB* out)
{
    GLsizei n = GLsizei(std::strlen(fake->log));
    if (n > max)
        n = max;
    std::memcpy(out, fake->log, size_t(n));
    *len = n;
}
GLint APIENTRY fake_uniform_location(GLhandleARB, const GLcharARB*)
{
    return 3;
}
void APIENTRY fake_uniform1i(GLint, GLint) {}
void APIENTRY fake_matrix3(GLint, GLsizei, GLboolean, const GLfloat*) {}

// Installs the fakes for one test and puts the real driver back after.
struct ScriptedDriver {
    FakeDriver state;
    GLEntryPoints saved = gl_ep;
    GLCaps saved_caps = gl_caps;
    ScriptedDriver()
    {
        gl_programs_release();
        fake = &state;
        gl_ep.glCreateShaderObjectARB = fake_create_shader;
        gl_ep.glCreateProgramObjectARB = fake_create_program;
        gl_ep.glShaderSourceARB = fake_source;
        gl_ep.glCompileShaderARB = fake_compile;
        gl_ep.glAttachObjectARB = fake_attach;
        gl_ep.glDetachObjectARB = fake_detach;
        gl_ep.glLinkProgramARB = fake_link;
        gl_ep.glUseProgramObjectARB = fake_use;
        gl_ep.glDeleteObjectARB = fake_delete;
        gl_ep.glGetObjectParameterivARB = fake_param;
        gl_ep.glGetInfoLogARB = fake_info;
        gl_ep.glGetUniformLocationARB = fake_uniform_location;
        gl_ep.glUniform1iARB = fake_uniform1i;
        gl_ep.glUniformMatrix3fvARB = fake_matrix3;
        gl_caps.fragment_shader = gl_caps.vertex_shader = true;
    }
    ~ScriptedDriver()
    {
        gl_programs_release();
        gl_ep = saved;
        gl_caps = saved_caps;
        fake = nullptr;
    }
};

}  // namespace

TEST(ShaderBuild, OneCharacterInfoLogIsReportedOnSuccess)
{
    ScriptedDriver driver;
    driver.state.log = "x";
    LogCapture log("shader-log");
    EXPECT_TRUE(gl_programs_build());
    std::string text = log.text();
    EXPECT_NE(text.find("vertex shader status for lit:\nx\n"), std::string::npos);
    EXPECT_NE(text.find("fragment shader status for norm_spec_lit:\nx\n"), std::string::npos);
    EXPECT_NE(text.find("link status for env:\nx\n"), std::string::npos);
    for (int i = 1; i <= 5; i++)
        EXPECT_NE(gl_program_object(i), 0u);
    EXPECT_EQ(gl_current_program(), 0);
    EXPECT_EQ(driver.state.current, 0u);
    EXPECT_TRUE(gl_caps.fragment_shader);
}

TEST(ShaderBuild, AFailedCompileDeletesEverythingAndFallsBack)
{
    // Compiles run vertex then fragment for programs 1, 2, 3...: the 6th
    // compile is the fragment shader of norm_lit.
    for (int fail_at : {0, 5, 9}) {
        SCOPED_TRACE(fail_at);
        ScriptedDriver driver;
        driver.state.fail_compile_at = fail_at;
        EXPECT_FALSE(gl_programs_build());
        EXPECT_TRUE(driver.state.live.empty()) << driver.state.live.size() << " objects left";
        EXPECT_FALSE(gl_caps.fragment_shader);
        EXPECT_FALSE(gl_caps.vertex_shader);
        for (int i = 0; i <= 6; i++)
            EXPECT_EQ(gl_program_object(i), 0u);
        gl_use_program(GL_PROGRAM_LIT);
        EXPECT_EQ(gl_current_program(), 0);
        EXPECT_FALSE(gl_shaders_usable(1));
    }
}

TEST(ShaderBuild, EnvmatGoesToBothEnvProgramsTransposed)
{
    ScriptedDriver driver;
    ASSERT_TRUE(gl_programs_build());
    static float seen[9];
    gl_ep.glUniformMatrix3fvARB = [](GLint, GLsizei, GLboolean transpose, const GLfloat* v) {
        EXPECT_EQ(transpose, GL_FALSE);
        std::memcpy(seen, v, sizeof seen);
    };
    gl_program_switches_reset();
    const float rows[9] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    gl_set_envmat(rows);
    const float columns[9] = {1, 4, 7, 2, 5, 8, 3, 6, 9};
    for (int i = 0; i < 9; i++)
        EXPECT_EQ(seen[i], columns[i]);
    EXPECT_EQ(gl_program_switches(), 3);  // env, norm_env, back to fixed function
    EXPECT_EQ(gl_current_program(), 0);
}
